// Which piece of the replace-to program produced a place in the replace result: the link from
// a selection in the replace result box back to the replace-to token, and the token the
// replace-to box shows as current. The document keeps the match and the segment; the token is
// display state shared by the two boxes of one document.
//
// Covered by app/ui/results/tests/text_views_test.cpp.
#ifndef KORVANE_REPLACE_TRACE_H
#define KORVANE_REPLACE_TRACE_H

#include "app/document/matching/replace_result.h"

class CKorvaneDoc;

namespace replace_trace {

// The index of the output piece of `segment` (its `pieces`, ReplaceResult::PiecesOf) that
// holds `position` of the replaced text, or -1
// when the position is outside the segment. A position at the end of a piece belongs to the next
// non-empty piece, the end of the segment to its last non-empty piece.
int PieceAtPosition(const ReplaceSegment& segment, const OutputPieces& pieces, int position);
// The segment of `segments` (sorted by start) that contains [start, end), or -1.
int SegmentContaining(const std::vector<ReplaceSegment>& segments, int start, int end);

// The current token of a document's replace-to box: set by the replace result box, -1 for none.
int CurrentToken(const CKorvaneDoc* doc);
void SetCurrentToken(const CKorvaneDoc* doc, int token);

}  // namespace replace_trace

#endif
