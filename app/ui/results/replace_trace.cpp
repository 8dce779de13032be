#include "app/ui/results/replace_trace.h"

#include <QHash>

namespace replace_trace {

int PieceAtPosition(const ReplaceSegment& segment, const OutputPieces& pieces, int position) {
  const int end = segment.start + segment.length;
  if (position < segment.start || position > end) return -1;
  int at = segment.start, lastNonEmpty = -1;
  for (int i = 0; i < static_cast<int>(pieces.size()); ++i) {
    const int length = pieces[i].length;
    if (length <= 0) continue;
    if (position < at + length) return i;
    lastNonEmpty = i;
    at += length;
  }
  return lastNonEmpty;
}

int SegmentContaining(const std::vector<ReplaceSegment>& segments, int start, int end) {
  int lo = 0, hi = static_cast<int>(segments.size());
  // First segment whose end is at or after `start`.
  while (lo < hi) {
    int mid = lo + (hi - lo) / 2;
    if (segments[mid].start + segments[mid].length < start) lo = mid + 1;
    else hi = mid;
  }
  for (int i = lo; i < static_cast<int>(segments.size()) && segments[i].start <= start; ++i) {
    const int e = segments[i].start + segments[i].length;
    if (start <= e && end <= e) return i;
  }
  return -1;
}

namespace {
QHash<const CKorvaneDoc*, int>& Tokens() {
  static QHash<const CKorvaneDoc*, int> tokens;
  return tokens;
}
}  // namespace

int CurrentToken(const CKorvaneDoc* doc) { return Tokens().value(doc, -1); }

void SetCurrentToken(const CKorvaneDoc* doc, int token) {
  if (token < 0) Tokens().remove(doc);
  else Tokens().insert(doc, token);
}

}  // namespace replace_trace
