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
  const int L = subjectLength;
  // Exact sizes: a replace over every match of a big text keeps hundreds of thousands of these.
  m_segments.reserve(static_cast<size_t>(count > 0 ? count : 0));
  // Reserved in full before the first segment points into it: it never moves while building.
  const size_t perSegment = m_program.pieces.size();
  m_pieces.reserve(static_cast<size_t>(count > 0 ? count : 0) * perSegment);
  int p = 0, prevEnd = 0;
  for (int k = 0; k < count; ++k) {
    const MatchHandle& h = results[rightToLeft ? count - 1 - k : k];
    if (!h || !h->result.IsMatched()) continue;
    const StoredMatch& m = h->result;
    ReplaceSegment seg;
    seg.match = h;
    const size_t first = m_pieces.size();
    p += m.GetStart() - prevEnd;
    seg.start = p;
    int pieceStart = 0;
    for (const ReplacePiece& piece : m_program.pieces) {
      const OutputPiece out = ExpandPiece(piece, pieceStart, m, L);
      m_pieces.push_back(out);
      seg.length += out.length;
      pieceStart = piece.end;
    }
    seg.pieces.m_data = m_pieces.data() + first;
    seg.pieces.m_count = static_cast<int>(perSegment);
    prevEnd = m.GetEnd();
    p += seg.length;
    m_segments.push_back(std::move(seg));
  }
}

void OutputPieces::Own(const OutputPiece* data, int count) {
  m_data = nullptr;
  m_count = 0;
  m_owned = false;
  if (count <= 0) return;
  OutputPiece* own = new OutputPiece[static_cast<size_t>(count)];
  std::copy(data, data + count, own);
  m_data = own;
  m_count = count;
  m_owned = true;
}

ReplaceResult& ReplaceResult::operator=(const ReplaceResult& other) {
  if (this == &other) return *this;
  Touch();
  m_program = other.m_program;
  m_pieces = other.m_pieces;
  m_segments = other.m_segments;
  // Built segments read the other result's array: point them at this one's.
  for (ReplaceSegment& seg : m_segments) {
    if (seg.pieces.m_owned || !seg.pieces.m_data) continue;
    seg.pieces.m_data = m_pieces.data() + (seg.pieces.m_data - other.m_pieces.data());
  }
  return *this;
}

std::vector<unsigned short> ReplaceResult::SegmentText(const unsigned short* subject, const ReplaceSegment& segment) const {
  std::vector<unsigned short> out;
  out.reserve(segment.length);
  for (const OutputPiece& p : segment.pieces) {
    if (p.length <= 0 || p.position < 0) continue;
    const unsigned short* from = p.source == OutputPiece::FROM_SUBJECT ? subject : m_program.text.data();
    if (!from) continue;
    out.insert(out.end(), from + p.position, from + p.position + p.length);
  }
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
  unsigned short* const begin = out;
  auto put = [&out](const unsigned short* from, int length) {
    std::memcpy(out, from, static_cast<size_t>(length) * sizeof *out);
    out += length;
  };
  int prevEnd = 0;
  for (const ReplaceSegment& seg : m_segments) {
    const int start = seg.match->result.GetStart();
    if (start > prevEnd) put(subject + prevEnd, start - prevEnd);
    for (const OutputPiece& p : seg.pieces) {
      if (p.length <= 0 || p.position < 0) continue;
      const unsigned short* from = p.source == OutputPiece::FROM_SUBJECT ? subject : m_program.text.data();
      if (!from) continue;
      put(from + p.position, p.length);
    }
    if (seg.match->result.GetEnd() > prevEnd) prevEnd = seg.match->result.GetEnd();
  }
  if (subjectLength > prevEnd) put(subject + prevEnd, subjectLength - prevEnd);
  return static_cast<size_t>(out - begin);
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
