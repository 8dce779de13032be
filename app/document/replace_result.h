// The document's replace result: the replaced text built from the matches that Find and Find All
// collected, with every piece traceable to the match, group or replace-to token that produced
// it. ReplacedText equals what the engine's own Replace gives for the same matches.
#ifndef KORVANE_REPLACE_RESULT_H
#define KORVANE_REPLACE_RESULT_H

#include <vector>

#include "app/document/match_record.h"

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

struct ReplaceSegment {
  int start = 0;   // in the replaced text
  int length = 0;  // sum of the output pieces
  MatchHandle match;
  std::vector<OutputPiece> pieces;  // one per ReplacePiece, same order
};

class ReplaceResult {
 public:
  // Re-parses the program; called after every change of the replace-to text or the pattern.
  void ParseReplaceTo(const unsigned short* text, int length, const HostRegexp& pattern);
  // Rebuilds the segments from `count` results (in the order found; right to left they are
  // visited last first so that the segments come out in text order).
  void Build(int subjectLength, const std::vector<MatchHandle>& results, int count, bool rightToLeft);
  // Drops the segments and gives their memory back.
  void Clear() { std::vector<ReplaceSegment>().swap(m_segments); }

  std::vector<unsigned short> SegmentText(const unsigned short* subject, const ReplaceSegment& segment) const;
  std::vector<unsigned short> ReplacedText(const unsigned short* subject, int subjectLength) const;
  // The index of the segment whose match is `match` (the same record), or -1.
  int SegmentOfResult(const MatchHandle& match) const;
  // The index of the piece of the program under a caret position in the replace-to text, or -1.
  int PieceAt(int caret) const;
  // The start of piece `index` in the replace-to text.
  int PieceStart(int index) const;

  const ReplaceProgram& Program() const { return m_program; }
  const std::vector<ReplaceSegment>& Segments() const { return m_segments; }

 private:
  ReplaceProgram m_program;
  std::vector<ReplaceSegment> m_segments;
};

#endif
