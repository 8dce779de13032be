#include "app/document/matching/split_pieces.h"

#include <algorithm>

std::vector<SplitPiece> SplitAround(const std::vector<std::pair<int, int>>& spans, int length, int from) {
  length = std::max(length, 0);
  std::vector<SplitPiece> pieces;
  pieces.reserve(spans.size() + 1);
  int covered = std::min(std::max(from, 0), length);
  for (const std::pair<int, int>& m : spans) {
    const int start = std::min(std::max(m.first, covered), length);
    pieces.push_back({covered, start});
    covered = std::min(std::max(m.second, covered), length);
  }
  pieces.push_back({covered, length});
  return pieces;
}

std::vector<std::pair<int, int>> MatchSpansInTextOrder(const std::vector<MatchHandle>& results, bool rightToLeft) {
  std::vector<std::pair<int, int>> spans;
  spans.reserve(results.size());
  for (const MatchHandle& h : results)
    if (h && h->result.IsMatched()) spans.emplace_back(h->result.GetStart(), h->result.GetEnd());
  if (rightToLeft) std::reverse(spans.begin(), spans.end());
  return spans;
}

std::vector<SplitPiece> SplitPiecesInTextOrder(const std::vector<MatchHandle>& results, int textLength,
                                               bool rightToLeft) {
  if (results.empty()) return {};
  return SplitAround(MatchSpansInTextOrder(results, rightToLeft), textLength);
}
