// The split rule, in one place: the pieces of a text between the matches of a search. Split
// mode's list, the selection of a piece, the split export and the tests' Split expectation all
// cut the text here, so they cannot disagree; it is the engine's own rule (CRegexpT::Split):
// the pieces run between consecutive matches in text order, and the end of the text covered so
// far never moves backwards, so a match that begins before that end leaves an empty piece and
// no text is given twice.
//
// Covered by app/document/matching/tests/split_pieces_test.cpp (against the engine's Split, both
// directions) and by the views' tests.
#ifndef KORVANE_SPLIT_PIECES_H
#define KORVANE_SPLIT_PIECES_H

#include <utility>
#include <vector>

#include "app/document/matching/match_record.h"

struct SplitPiece {
  int start;
  int end;  // never below start

  bool operator==(const SplitPiece& o) const { return start == o.start && end == o.end; }
};

// The pieces around `spans` (match spans in text order) in a text of `length` units, starting
// at `from`: one before each span, then the rest of the text. Positions are clamped to the text.
std::vector<SplitPiece> SplitAround(const std::vector<std::pair<int, int>>& spans, int length, int from = 0);

// The real matches of a results list in text order (right to left the search found them from
// the end of the text backwards, so the list is read from its end).
std::vector<std::pair<int, int>> MatchSpansInTextOrder(const std::vector<MatchHandle>& results, bool rightToLeft);

// Pieces in text order: before each real match, then the rest of the text after the last one.
// With an empty results list there are no pieces; a list holding only the not-matched sentinel
// gives the whole text as one piece.
std::vector<SplitPiece> SplitPiecesInTextOrder(const std::vector<MatchHandle>& results, int textLength,
                                               bool rightToLeft);

#endif
