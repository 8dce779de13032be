// The document's replace result: the replaced text built from the matches that Find and Find All
// collected, with every piece traceable to the match, group or replace-to token that produced
// it. ReplacedText equals what the engine's own Replace gives for the same matches.
#ifndef KORVANE_REPLACE_RESULT_H
#define KORVANE_REPLACE_RESULT_H

#include <initializer_list>
#include <vector>

#include "app/document/matching/match_record.h"

// One piece of the parsed replace-to text; it covers the text from the previous piece's end (or
// 0) to `end`.
struct ReplacePiece {
  enum { LITERAL = 0, GROUP = 1, SPECIAL = 2 };
  int end;
  int kind;
  int value;  // GROUP: the group number; SPECIAL: one of $ & ' + _ `; LITERAL: '$' for "$$"
};

struct ReplaceProgram {
  std::vector<ReplacePiece> pieces;
  std::vector<unsigned short> text;  // the replace-to text the pieces were parsed from
};

// What one replace piece gave for one match.
struct OutputPiece {
  enum { FROM_REPLACE_TO = 0, FROM_SUBJECT = 1 };
  int position;  // in the replace-to text or the subject, by `source`
  int source;
  int length;
};

// The replace-to program of `text` for `pattern` (its group numbers and names).
ReplaceProgram ParseReplaceProgram(const unsigned short* text, int length, const HostRegexp& pattern);

// What one piece of a replace-to program gives for one match: a span of the replace-to text or
// of the subject. The one place where the escapes are read: the replace result and the tests'
// Replaced expectation both expand with it. `pieceStart` is where the piece begins in the
// replace-to text (the previous piece's end); `MATCH` reads like the engine's results
// (GetStart, GetEnd, GetGroupStart, GetGroupEnd, MaxGroupNumber).
template <class MATCH>
OutputPiece ExpandPiece(const ReplacePiece& piece, int pieceStart, const MATCH& m, int subjectLength) {
  OutputPiece out = {0, OutputPiece::FROM_SUBJECT, 0};
  switch (piece.kind) {
    case ReplacePiece::LITERAL:
      out.source = OutputPiece::FROM_REPLACE_TO;
      out.position = pieceStart;
      out.length = piece.value == '$' ? 1 : piece.end - pieceStart;  // "$$" keeps one '$'
      break;
    case ReplacePiece::GROUP: {
      const int a = m.GetGroupStart(piece.value), b = m.GetGroupEnd(piece.value);
      out.position = a;
      out.length = (a >= 0 && b >= a) ? b - a : 0;
      break;
    }
    default:
      switch (piece.value) {
        case '&': out.position = m.GetStart(); out.length = m.GetEnd() - m.GetStart(); break;
        case '`': out.position = 0; out.length = m.GetStart(); break;
        case '\'': out.position = m.GetEnd(); out.length = subjectLength - m.GetEnd(); break;
        case '_': out.position = 0; out.length = subjectLength; break;
        case '+': {
          int g = m.MaxGroupNumber();
          while (g > 0 && m.GetGroupStart(g) < 0) --g;
          out.position = m.GetGroupStart(g);
          out.length = m.GetGroupEnd(g) - m.GetGroupStart(g);
          break;
        }
        default: break;
      }
  }
  if (out.length < 0 || out.position < 0) out.length = 0;
  return out;
}

// The output pieces of one segment, read like a vector; they own their array. A built replace
// result does not store them (ReplaceResult::PiecesOf expands a segment's pieces when asked):
// only pieces given by hand (tests, tools) live in a segment.
class OutputPieces {
 public:
  OutputPieces() = default;
  OutputPieces(std::initializer_list<OutputPiece> pieces) { Own(pieces.begin(), static_cast<int>(pieces.size())); }
  OutputPieces(const OutputPieces& other) { CopyFrom(other); }
  OutputPieces(OutputPieces&& other) noexcept : m_data(other.m_data), m_count(other.m_count) {
    other.m_data = nullptr;
    other.m_count = 0;
  }
  OutputPieces& operator=(OutputPieces&& other) noexcept {
    if (this != &other) {
      Release();
      m_data = other.m_data;
      m_count = other.m_count;
      other.m_data = nullptr;
      other.m_count = 0;
    }
    return *this;
  }
  OutputPieces& operator=(const OutputPieces& other) {
    if (this != &other) {
      Release();
      CopyFrom(other);
    }
    return *this;
  }
  ~OutputPieces() { Release(); }

  size_t size() const { return static_cast<size_t>(m_count); }
  bool empty() const { return m_count == 0; }
  const OutputPiece& operator[](size_t i) const { return m_data[i]; }
  const OutputPiece* begin() const { return m_data; }
  const OutputPiece* end() const { return m_data + m_count; }

 private:
  friend class ReplaceResult;
  void Own(const OutputPiece* data, int count);
  void CopyFrom(const OutputPieces& other) { Own(other.m_data, other.m_count); }
  void Release() {
    delete[] m_data;
    m_data = nullptr;
    m_count = 0;
  }

  const OutputPiece* m_data = nullptr;
  int m_count = 0;
};

// One match's part of the replaced text. A built result's segments keep only the span and the
// match: their output pieces follow from the program and the match, and a big replace (hundreds
// of thousands of matches) would otherwise write and keep tens of megabytes of them.
struct ReplaceSegment {
  int start = 0;   // in the replaced text
  int length = 0;  // sum of the output pieces
  MatchHandle match;
  // Pieces given by hand, one per ReplacePiece; empty in a built result (see PiecesOf).
  OutputPieces pieces;
};

class ReplaceResult {
 public:
  // Re-parses the program; called after every change of the replace-to text or the pattern.
  void ParseReplaceTo(const unsigned short* text, int length, const HostRegexp& pattern);
  // Rebuilds the segments from `count` results (in the order found; right to left they are
  // visited last first so that the segments come out in text order).
  void Build(int subjectLength, const std::vector<MatchHandle>& results, int count, bool rightToLeft);
  // Hands the segments over (to be freed elsewhere) and leaves this empty.
  std::vector<ReplaceSegment> TakeSegments() {
    std::vector<ReplaceSegment> taken = std::move(m_segments);
    m_segments.clear();
    Touch();
    return taken;
  }
  // Drops the segments and gives their memory back.
  void Clear() {
    std::vector<ReplaceSegment>().swap(m_segments);
    Touch();
  }
  // Changes with every parse, build, clear or assignment, and is never the same for two
  // different states of any two results: a view that shows the replaced text rebuilds only when
  // it differs from the one it showed.
  unsigned long long Version() const { return m_version; }

  ReplaceResult() { Touch(); }
  ReplaceResult(const ReplaceResult& other) { *this = other; }
  ReplaceResult& operator=(const ReplaceResult& other);
  ReplaceResult(ReplaceResult&& other) noexcept = default;
  ReplaceResult& operator=(ReplaceResult&& other) noexcept {
    m_program = std::move(other.m_program);
    m_segments = std::move(other.m_segments);
    m_subjectLength = other.m_subjectLength;
    Touch();
    return *this;
  }

  // The output pieces of `segment`, one per piece of the program: its own when it was given
  // pieces by hand, else expanded from the program and its match (over the subject length of
  // the last Build).
  OutputPieces PiecesOf(const ReplaceSegment& segment) const;

  std::vector<unsigned short> SegmentText(const unsigned short* subject, const ReplaceSegment& segment) const;
  std::vector<unsigned short> ReplacedText(const unsigned short* subject, int subjectLength) const;
  // The replaced text's length (at most), and the text written into `out`, which holds that many
  // units, returning the number written: for a caller that keeps the text in a buffer of its own
  // (the result box's string), so that a text of tens of megabytes is not built twice.
  size_t ReplacedLength(int subjectLength) const;
  size_t WriteReplacedText(const unsigned short* subject, int subjectLength, unsigned short* out) const;
  // Where a replaced text written in parts has got to: the next segment, the subject position up
  // to which the text between the matches is written, and the units written so far.
  struct WriteProgress {
    size_t segment = 0;
    int subjectDone = 0;
    size_t written = 0;
    bool complete = false;
  };
  // Writes on from `progress` into `out` (which holds ReplacedLength units) until about `budget`
  // more units are written or the text is complete: a text of tens of megabytes is built over
  // several events, none holding the window long. A segment's output is written whole; a long
  // stretch between matches is cut. Calling it until `complete` writes what WriteReplacedText does.
  void WriteReplacedTextPart(const unsigned short* subject, int subjectLength, unsigned short* out,
                             WriteProgress& progress, size_t budget) const;
  // The index of the segment whose match is `match` (the same record), or -1. Bisects on the
  // match's start (the segments are in text order).
  int SegmentOfResult(const MatchHandle& match) const;
  // The index of the piece of the program under a caret position in the replace-to text, or -1.
  int PieceAt(int caret) const;
  // The start of piece `index` in the replace-to text.
  int PieceStart(int index) const;

  const ReplaceProgram& Program() const { return m_program; }
  const std::vector<ReplaceSegment>& Segments() const { return m_segments; }

 private:
  void Touch();

  // Calls `visit` with each output piece of `segment` in order (PiecesOf without the array).
  template <class VISIT>
  void VisitPieces(const ReplaceSegment& segment, VISIT&& visit) const {
    if (!segment.pieces.empty() || !segment.match) {
      for (const OutputPiece& p : segment.pieces) visit(p);
      return;
    }
    int pieceStart = 0;
    for (const ReplacePiece& piece : m_program.pieces) {
      visit(ExpandPiece(piece, pieceStart, segment.match->result, m_subjectLength));
      pieceStart = piece.end;
    }
  }

  ReplaceProgram m_program;
  unsigned long long m_version = 0;
  std::vector<ReplaceSegment> m_segments;
  int m_subjectLength = 0;  // of the last Build: `$'` and `$_` expand over it
};

#endif
