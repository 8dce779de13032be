// The step-budgeted search of the backtracking analysis and its rewrites: a search on the traced
// host build whose trace hook counts the elements it enters and breaks the search off once a
// budget of them is spent, so that an exponential pattern answers "cut" instead of holding up
// its caller. The analysis runs witnesses with it (one classic attempt, backtrack_measure.cpp);
// the rewrites compare the matches of two patterns with it (backtrack_fixes.cpp).
#ifndef KORVANE_BUDGETED_SEARCH_H
#define KORVANE_BUDGETED_SEARCH_H

#include <atomic>
#include <functional>
#include <string>

#include "app/host_engine.h"

namespace backtrack {

struct BudgetedRun {
  long long steps = 0;  // elements entered (the budget, when it ran out)
  bool cut = false;     // broken off: the budget ran out, the nesting limit was reached, or
                        // `abort` was set
};

// Searches `text` with `re` from `start` (-1: the default start), with classic backtracking when
// `classic` is set, and hands each match in turn to `onMatch`, which returns whether to go on.
// At most `budget` element entries; `abort`, when given, is looked at every 64K entries.
BudgetedRun BudgetedSearch(const HostRegexp& re, const std::u16string& text, int start, bool classic,
                           long long budget, const std::atomic<bool>* abort,
                           const std::function<bool(const MatchResult&)>& onMatch);

}  // namespace backtrack

#endif
