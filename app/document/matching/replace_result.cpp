// The replace result: program, segments and the texts built from them.
#include "app/document/matching/replace_result.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

namespace {
std::atomic<unsigned long long> g_replaceResultVersion{0};
}  // namespace

void ReplaceResult::Touch() { m_version = ++g_replaceResultVersion; }

ReplaceProgram ParseReplaceProgram(const unsigned short* text, int length, const HostRegexp& pattern) {
  ReplaceProgram program;
  if (!text || length < 0) length = 0;
  program.text.assign(text, text + length);
  std::vector<ReplaceToken> tokens = pattern.ParseReplaceTo(program.text.data(), length);
  for (const ReplaceToken& t : tokens) {
    ReplacePiece p;
    p.end = t.end;
    switch (t.kind) {
      case REPLACE_GROUP: p.kind = ReplacePiece::GROUP; p.value = t.value; break;
      case REPLACE_SPECIAL: p.kind = ReplacePiece::SPECIAL; p.value = t.value; break;
      case REPLACE_DOLLAR: p.kind = ReplacePiece::LITERAL; p.value = '$'; break;
      default: p.kind = ReplacePiece::LITERAL; p.value = 0; break;
    }
    program.pieces.push_back(p);
  }
  return program;
}

void ReplaceResult::ParseReplaceTo(const unsigned short* text, int length, const HostRegexp& pattern) {
  Touch();
  m_program = ParseReplaceProgram(text, length, pattern);
}

void ReplaceResult::Build(int subjectLength, const std::vector<MatchHandle>& results, int count, bool rightToLeft) {
  Clear();  // a new version
  if (count > static_cast<int>(results.size())) count = static_cast<int>(results.size());
  m_subjectLength = subjectLength;
  const int L = subjectLength;
  // A literal piece gives the same length for every match: summed once. Only the pieces that
  // read the match (groups, $&, $`, ...) are expanded per segment.
  int literalLength = 0;
  std::vector<std::pair<ReplacePiece, int>> perMatch;  // piece, its start in the replace-to text
  int pieceStart = 0;
  for (const ReplacePiece& piece : m_program.pieces) {
    if (piece.kind == ReplacePiece::LITERAL)
      literalLength += ExpandPiece(piece, pieceStart, StoredMatch(), L).length;
    else
      perMatch.emplace_back(piece, pieceStart);
    pieceStart = piece.end;
  }
  // Exact size: a replace over every match of a big text keeps hundreds of thousands of these.
  m_segments.reserve(static_cast<size_t>(count > 0 ? count : 0));
  int p = 0, prevEnd = 0;
  for (int k = 0; k < count; ++k) {
    const MatchHandle& h = results[rightToLeft ? count - 1 - k : k];
    if (!h || !h->result.IsMatched()) continue;
    const StoredMatch& m = h->result;
    ReplaceSegment seg;
    seg.match = h;
    p += m.GetStart() - prevEnd;
    seg.start = p;
    seg.length = literalLength;
    for (const auto& piece : perMatch) seg.length += ExpandPiece(piece.first, piece.second, m, L).length;
    prevEnd = m.GetEnd();
    p += seg.length;
    m_segments.push_back(std::move(seg));
  }
}

OutputPieces ReplaceResult::PiecesOf(const ReplaceSegment& segment) const {
  std::vector<OutputPiece> pieces;
  pieces.reserve(m_program.pieces.size());
  VisitPieces(segment, [&pieces](const OutputPiece& p) { pieces.push_back(p); });
  OutputPieces out;
  out.Own(pieces.data(), static_cast<int>(pieces.size()));
  return out;
}

void OutputPieces::Own(const OutputPiece* data, int count) {
  m_data = nullptr;
  m_count = 0;
  if (count <= 0) return;
  OutputPiece* own = new OutputPiece[static_cast<size_t>(count)];
  std::copy(data, data + count, own);
  m_data = own;
  m_count = count;
}

ReplaceResult& ReplaceResult::operator=(const ReplaceResult& other) {
  if (this == &other) return *this;
  Touch();
  m_program = other.m_program;
  m_segments = other.m_segments;
  m_subjectLength = other.m_subjectLength;
  return *this;
}

std::vector<unsigned short> ReplaceResult::SegmentText(const unsigned short* subject, const ReplaceSegment& segment) const {
  std::vector<unsigned short> out;
  out.reserve(segment.length);
  VisitPieces(segment, [&](const OutputPiece& p) {
    if (p.length <= 0 || p.position < 0) return;
    const unsigned short* from = p.source == OutputPiece::FROM_SUBJECT ? subject : m_program.text.data();
    if (!from) return;
    out.insert(out.end(), from + p.position, from + p.position + p.length);
  });
  return out;
}

std::vector<unsigned short> ReplaceResult::ReplacedText(const unsigned short* subject, int subjectLength) const {
  std::vector<unsigned short> out(ReplacedLength(subjectLength));
  out.resize(WriteReplacedText(subject, subjectLength, out.data()));
  return out;
}

// The text between the matches plus every segment's output.
size_t ReplaceResult::ReplacedLength(int subjectLength) const {
  size_t size = 0;
  int prevEnd = 0;
  for (const ReplaceSegment& seg : m_segments) {
    const int start = seg.match->result.GetStart();
    if (start > prevEnd) size += static_cast<size_t>(start - prevEnd);
    size += static_cast<size_t>(std::max(seg.length, 0));
    if (seg.match->result.GetEnd() > prevEnd) prevEnd = seg.match->result.GetEnd();
  }
  if (subjectLength > prevEnd) size += static_cast<size_t>(subjectLength - prevEnd);
  return size;
}

// Writes what ReplacedLength counts, in the same order (a segment's length is the sum of its
// pieces' lengths), less any piece without a source.
size_t ReplaceResult::WriteReplacedText(const unsigned short* subject, int subjectLength, unsigned short* out) const {
  WriteProgress progress;
  WriteReplacedTextPart(subject, subjectLength, out, progress, static_cast<size_t>(-1));
  return progress.written;
}

void ReplaceResult::WriteReplacedTextPart(const unsigned short* subject, int subjectLength, unsigned short* out,
                                          WriteProgress& progress, size_t budget) const {
  if (progress.complete) return;
  budget = std::max<size_t>(budget, 1);  // every call gets on
  const size_t stopAt = budget > static_cast<size_t>(-1) - progress.written ? static_cast<size_t>(-1)
                                                                           : progress.written + budget;
  auto put = [out, &progress](const unsigned short* from, int length) {
    std::memcpy(out + progress.written, from, static_cast<size_t>(length) * sizeof *out);
    progress.written += static_cast<size_t>(length);
  };
  // Copies the subject from where it is done up to `to`, or as much as the budget leaves;
  // returns whether it got there.
  auto copyUpTo = [&](int to) {
    if (to <= progress.subjectDone) return true;
    const size_t room = stopAt > progress.written ? stopAt - progress.written : 0;
    const int length = static_cast<int>(std::min<size_t>(room, static_cast<size_t>(to - progress.subjectDone)));
    put(subject + progress.subjectDone, length);
    progress.subjectDone += length;
    return progress.subjectDone >= to;
  };
  for (; progress.segment < m_segments.size(); ++progress.segment) {
    if (progress.written >= stopAt) return;
    const ReplaceSegment& seg = m_segments[progress.segment];
    if (!copyUpTo(seg.match->result.GetStart())) return;
    VisitPieces(seg, [&](const OutputPiece& p) {
      if (p.length <= 0 || p.position < 0) return;
      const unsigned short* from = p.source == OutputPiece::FROM_SUBJECT ? subject : m_program.text.data();
      if (!from) return;
      put(from + p.position, p.length);
    });
    // Overlapping matches: the text after a match resumes at the furthest end seen.
    progress.subjectDone = std::max(progress.subjectDone, seg.match->result.GetEnd());
  }
  if (!copyUpTo(subjectLength)) return;
  progress.complete = true;
}

int ReplaceResult::SegmentOfResult(const MatchHandle& match) const {
  if (!match || !match->result.IsMatched()) return -1;
  // Segments are in text order: bisect on the match start, then look at the segments that
  // start there (an empty match and the match after it may share a start).
  const int start = match->result.GetStart();
  auto it = std::lower_bound(m_segments.begin(), m_segments.end(), start,
                             [](const ReplaceSegment& s, int at) { return s.match->result.GetStart() < at; });
  for (; it != m_segments.end() && it->match->result.GetStart() == start; ++it)
    if (it->match == match) return static_cast<int>(it - m_segments.begin());
  return -1;
}

int ReplaceResult::PieceAt(int caret) const {
  for (size_t i = 0; i < m_program.pieces.size(); ++i)
    if (caret < m_program.pieces[i].end) return static_cast<int>(i);
  return -1;
}

int ReplaceResult::PieceStart(int index) const {
  return index <= 0 ? 0 : m_program.pieces[index - 1].end;
}
