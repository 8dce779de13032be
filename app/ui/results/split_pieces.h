// The pieces of the subject text between consecutive matches, as the split result list shows
// them. Kept apart from the view so that the rule can be tested without a widget.
//
// Covered by app/ui/results/tests/split_list_test.cpp.
#ifndef KORVANE_SPLIT_PIECES_H
#define KORVANE_SPLIT_PIECES_H

#include <vector>

#include "app/document/match_record.h"

struct SplitPiece {
  int start;
  int end;  // never below start
};

// Pieces in text order: before each real match, then the rest of the text after the last one.
// With an empty results list there are no pieces; a list holding only the not-matched sentinel
// gives the whole text as one piece. The document's SelectSplitPiece counts pieces the same way.
std::vector<SplitPiece> SplitPiecesInTextOrder(const std::vector<MatchHandle>& results,
                                               int textLength, bool rightToLeft);

#endif
