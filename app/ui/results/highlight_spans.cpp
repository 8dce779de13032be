#include "app/ui/results/highlight_spans.h"

#include <algorithm>

#include "app/document/core/korvane_doc.h"
#include "app/document/debugger/debug_session.h"

namespace highlight {

TextWindow WindowAround(int firstVisible, int lastVisible, int textLength) {
  TextWindow w;
  if (textLength <= 0) return w;
  if (lastVisible < firstVisible) lastVisible = firstVisible;
  w.start = std::min(std::max(firstVisible - kWindowMargin, 0), textLength);
  w.end = std::min(std::max(lastVisible + 1 + kWindowMargin, w.start), textLength);
  w.end = std::min(w.end, w.start + kMaxWindowLength);
  return w;
}

void AddClipped(int start, int end, int kind, TextWindow w, std::vector<HighlightSpan>* out) {
  int s = std::max(start, w.start), e = std::min(end, w.end);
  if (s < e && static_cast<int>(out->size()) < kMaxSpans) out->push_back({s, e, kind});
}

namespace {

// Spans reachable through an accessor by index, sorted by start with non-decreasing ends.
template <class StartOf, class EndOf>
void AddSpansBy(int count, StartOf startOf, EndOf endOf, TextWindow w, int kind, std::vector<HighlightSpan>* out) {
  if (w.start >= w.end) return;
  // First span that ends after the window's start.
  int lo = 0, hi = count;
  while (lo < hi) {
    int mid = lo + (hi - lo) / 2;
    if (endOf(mid) <= w.start) lo = mid + 1;
    else hi = mid;
  }
  for (int i = lo; i < count && startOf(i) < w.end; ++i) {
    if (static_cast<int>(out->size()) >= kMaxSpans) return;
    AddClipped(startOf(i), endOf(i), kind, w, out);
  }
}

}  // namespace

void AddSortedSpans(const std::vector<std::pair<int, int>>& spans, TextWindow w, int kind,
                    std::vector<HighlightSpan>* out) {
  AddSpansBy(static_cast<int>(spans.size()), [&](int i) { return spans[i].first; },
             [&](int i) { return spans[i].second; }, w, kind, out);
}

void AddMatchSpans(const std::vector<MatchHandle>& results, bool rightToLeft, TextWindow w,
                   std::vector<HighlightSpan>* out) {
  int n = static_cast<int>(results.size());
  // The not-matched sentinel, if any, is the last entry; every other entry is a real match.
  while (n > 0 && !(results[n - 1] && results[n - 1]->result.IsMatched())) --n;
  auto at = [&](int i) -> const StoredMatch& { return results[rightToLeft ? n - 1 - i : i]->result; };
  AddSpansBy(n, [&](int i) { return at(i).GetStart(); }, [&](int i) { return at(i).GetEnd(); }, w, HL_MATCH, out);
}

void AddSegmentSpans(const std::vector<ReplaceSegment>& segments, TextWindow w, std::vector<HighlightSpan>* out) {
  AddSpansBy(static_cast<int>(segments.size()), [&](int i) { return segments[i].start; },
             [&](int i) { return segments[i].start + segments[i].length; }, w, HL_MATCH, out);
}

std::pair<int, int> CurrentMatchSpan(const CKorvaneDoc& doc) {
  MatchHandle last = doc.GetLastResult();
  if (!last || !last->result.IsMatched()) return {-1, -1};
  return {last->result.GetStart(), last->result.GetEnd()};
}

std::pair<int, int> TextSelectionSpan(const CKorvaneDoc& doc) {
  const int hs = doc.GetHighlightStart(), he = doc.GetHighlightEnd();
  std::pair<int, int> m = CurrentMatchSpan(doc);
  if (m.first < 0) return {hs, he};
  if (hs >= m.first && he <= m.second && hs <= he) return {hs, he};
  return m;
}

std::vector<HighlightSpan> TextBoxSpans(const CKorvaneDoc& doc, TextWindow w) {
  std::vector<HighlightSpan> out;
  if (w.start >= w.end) return out;
  const bool rtl = (doc.GetFlags() & RIGHTTOLEFT) != 0;
  doc.VisitResults([&](const std::vector<MatchHandle>& results) { AddMatchSpans(results, rtl, w, &out); });
  const int sp = doc.GetStartPoint();
  if (sp >= 0) {
    if (rtl) AddClipped(sp, w.end, HL_BEFORE_START, w, &out);
    else AddClipped(w.start, sp, HL_BEFORE_START, w, &out);
  }
  std::pair<int, int> current = CurrentMatchSpan(doc);
  if (current.first >= 0) AddClipped(current.first, current.second, HL_CURRENT, w, &out);
  const TraceStep& step = doc.GetTraceStep();
  if (doc.GetMode() == MODE_TRACE && doc.IsJobActive() && doc.IsPaused() && step.element) {
    int lo = std::min({step.attemptStart, step.regionStart, step.elementStart, step.elementEnd});
    int hi = std::max({step.attemptStart, step.regionStart, step.elementStart, step.elementEnd});
    AddClipped(lo, hi, HL_TRACE_ATTEMPT, w, &out);
    int kind = step.outcome == 1 ? HL_TRACE_MATCHED : step.outcome == -1 ? HL_TRACE_RETRY_FAILED : HL_TRACE_FAILED;
    AddClipped(std::min(step.elementStart, step.elementEnd), std::max(step.elementStart, step.elementEnd), kind, w, &out);
  } else if (doc.ShowsFailPoint()) {
    const FailPoint& fp = doc.GetFailPoint();
    AddClipped(std::min(fp.failSpanStart, fp.failSpanEnd), std::max(fp.failSpanStart, fp.failSpanEnd), HL_FAIL_POINT,
               w, &out);
  }
  return out;
}

std::vector<HighlightSpan> ReplaceResultSpans(const CKorvaneDoc& doc, TextWindow w) {
  std::vector<HighlightSpan> out;
  if (w.start >= w.end) return out;
  AddSegmentSpans(doc.GetReplaceResult().Segments(), w, &out);
  AddClipped(doc.GetReplaceHighlightStart(), doc.GetReplaceHighlightEnd(), HL_CURRENT, w, &out);
  return out;
}

QColor Background(int kind) {
  switch (kind) {
    case HL_MATCH: return QColor(187, 255, 255);
    case HL_CURRENT: return QColor(255, 255, 0);
    case HL_TRACE_ATTEMPT: return QColor(255, 255, 136);
    case HL_TRACE_MATCHED: return QColor(136, 255, 136);
    case HL_TRACE_RETRY_FAILED: return QColor(204, 204, 204);
    case HL_TRACE_FAILED: return QColor(255, 136, 136);
    case HL_FAIL_POINT: return QColor(255, 204, 204);
    case HL_TOKEN: return QColor(255, 255, 0);
    default: return QColor();
  }
}

QColor Foreground(int kind) {
  switch (kind) {
    case HL_BEFORE_START: return QColor(192, 192, 192);
    case HL_REFERENCE: return QColor(255, 0, 255);
    default: return QColor();
  }
}

}  // namespace highlight
