// What the result boxes paint, as plain spans: the window of the text that is painted at all,
// the match (or replacement) spans inside it found by binary search, and the marks of the
// current match, the start point, the trace step and the fail point. The boxes turn the spans
// into extra selections of their control; keeping the rule here lets the tests check it
// without looking at pixels.
//
// Covered by app/ui/results/tests/text_views_test.cpp and app/ui/results/bench/result_views_bench.cpp.
#ifndef KORVANE_HIGHLIGHT_SPANS_H
#define KORVANE_HIGHLIGHT_SPANS_H

#include <QColor>
#include <vector>

#include "app/document/matching/match_record.h"

class CKorvaneDoc;
struct ReplaceSegment;

enum HighlightKind {
  HL_MATCH = 0,         // every match / every replacement: background RGB(187,255,255)
  HL_CURRENT,           // the current match / replacement: background RGB(255,255,0)
  HL_BEFORE_START,      // text before the start point: text colour RGB(192,192,192)
  HL_TRACE_ATTEMPT,     // span tried by the current attempt: background RGB(255,255,136)
  HL_TRACE_MATCHED,     // current step matched: background RGB(136,255,136)
  HL_TRACE_RETRY_FAILED,// current step failed on a retry (state -1): background RGB(204,204,204)
  HL_TRACE_FAILED,      // current step failed: background RGB(255,136,136)
  HL_FAIL_POINT,        // where a failing search got furthest: pink background, red wavy underline
  HL_REFERENCE,         // a replace-to reference: text colour RGB(255,0,255)
  HL_TOKEN              // the current replace-to token: background RGB(255,255,0)
};

struct HighlightSpan {
  int start;
  int end;
  int kind;
  bool operator==(const HighlightSpan& o) const { return start == o.start && end == o.end && kind == o.kind; }
};

struct TextWindow {
  int start = 0;
  int end = 0;
};

namespace highlight {

constexpr int kWindowMargin = 2000;     // characters added before and after the visible part
constexpr int kMaxWindowLength = 10000; // characters painted from the window's start
constexpr int kMaxSpans = 10000;        // extra selections at most, whatever the text holds

// The painted window: the visible characters [firstVisible, lastVisible] widened by the margin,
// clamped to the text and cut to kMaxWindowLength from its start.
TextWindow WindowAround(int firstVisible, int lastVisible, int textLength);

// Appends the spans [start, end) of `spans` (sorted by start, not overlapping, as matches and
// replacements are) that intersect the window, clipped to it; empty spans are skipped. Binary
// search finds the first one, so the cost follows the window, not the text.
void AddSortedSpans(const std::vector<std::pair<int, int>>& spans, TextWindow w, int kind,
                    std::vector<HighlightSpan>* out);
// The same over the document's results list: real matches only, in text order (the list runs
// from the end backwards when matching right to left).
void AddMatchSpans(const std::vector<MatchHandle>& results, bool rightToLeft, TextWindow w,
                   std::vector<HighlightSpan>* out);
void AddSegmentSpans(const std::vector<ReplaceSegment>& segments, TextWindow w, std::vector<HighlightSpan>* out);

// Appends [start, end) clipped to the window when something of it is left.
void AddClipped(int start, int end, int kind, TextWindow w, std::vector<HighlightSpan>* out);

// The text box's spans for the window, in painting order (later spans paint over earlier ones).
std::vector<HighlightSpan> TextBoxSpans(const CKorvaneDoc& doc, TextWindow w);
// The replace result box's spans for the window.
std::vector<HighlightSpan> ReplaceResultSpans(const CKorvaneDoc& doc, TextWindow w);

// The span of the current match in the subject, or {-1, -1}: the last result when it matched.
std::pair<int, int> CurrentMatchSpan(const CKorvaneDoc& doc);
// What the text box selects on a results hint: the document's highlight span when it lies in
// the current match (a group, or the caret after the current element), else the current match,
// else the highlight span itself (a gap or a split piece).
std::pair<int, int> TextSelectionSpan(const CKorvaneDoc& doc);

// The light palette's colours of a kind; the boxes draw them through ViewBackColor and
// ViewTextColor (app/ui/editor/view_colours.h), which give the dark variants.
QColor Background(int kind);  // invalid for kinds without a background
QColor Foreground(int kind);  // invalid for kinds without a text colour

}  // namespace highlight

#endif
