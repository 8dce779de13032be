#include "app/ui/results/split_pieces.h"

#include <algorithm>

std::vector<SplitPiece> SplitPiecesInTextOrder(const std::vector<MatchHandle>& results,
                                               int textLength, bool rightToLeft) {
  std::vector<SplitPiece> pieces;
  if (results.empty()) return pieces;
  std::vector<const StoredMatch*> real;
  real.reserve(results.size());
  for (const MatchHandle& h : results)
    if (h && h->result.IsMatched()) real.push_back(&h->result);
  // Right to left the matches were found from the end of the text backwards.
  if (rightToLeft) std::reverse(real.begin(), real.end());
  pieces.reserve(real.size() + 1);
  int pos = 0;
  for (const StoredMatch* m : real) {
    int from = std::min(std::max(pos, 0), textLength);
    int to = std::min(std::max(m->GetStart(), from), textLength);
    pieces.push_back({from, to});
    pos = m->GetEnd();
  }
  int from = std::min(std::max(pos, 0), textLength);
  pieces.push_back({from, textLength});
  return pieces;
}
