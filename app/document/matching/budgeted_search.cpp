// The step-budgeted search (see budgeted_search.h).
#include "app/document/matching/budgeted_search.h"

#include <vector>

namespace backtrack {
namespace {

// Deepest nesting of one budgeted search (CMatchContext::m_nMaxNesting). These searches never run
// on a 64 MiB WorkerThread, for which korvane's host build allows 20000 levels. They run on the
// main thread (`--check-backtracking`, and the Backtracking pane's last check of a fix before it
// is applied, CBacktrackPane::ApplyFix) and on the pane's own std::thread, whose stack is the
// system's default for new threads: the stack limit, 8 MiB as a rule, 2 MiB where the limit is
// unlimited. 8000 levels of the host build take about 1.5 MiB optimized and 3.7 MiB with
// AddressSanitizer (bytes per level in engine/tarno/config.h): within 8 MiB in every build, and
// within 2 MiB when optimized.
const int kMaxNesting = 8000;

struct Count {
  long long steps;
  long long budget;
  const std::atomic<bool>* abort;  // looked at every 64K steps: a long run stops soon after
};

void CountEntries(int event, HostContext*, const HostElement*, int, const TraceStackEntry<unsigned short>*, int,
                  void* user) {
  if (event != TRACE_ENTER) return;
  Count* c = static_cast<Count*>(user);
  if (++c->steps >= c->budget) throw CMatchBreak(CMatchBreak::ABORTED);
  if ((c->steps & 0xFFFF) == 0 && c->abort && c->abort->load(std::memory_order_relaxed))
    throw CMatchBreak(CMatchBreak::ABORTED);
}

}  // namespace

BudgetedRun BudgetedSearch(const HostRegexp& re, const std::u16string& text, int start, bool classic,
                           long long budget, const std::atomic<bool>* abort,
                           const std::function<bool(const MatchResult&)>& onMatch) {
  std::vector<unsigned short> t(text.begin(), text.end());
  t.push_back(0);
  HostContext ctx;
  ctx.m_bClassic = classic;
  ctx.m_nMaxNesting = kMaxNesting;
  Count count{0, budget, abort};
  ctx.m_pfnTraceHook = &CountEntries;
  ctx.m_pUserData = &count;
  BudgetedRun run;
  try {
    if (!re.PrepareMatch(t.data(), static_cast<int>(text.size()), start, &ctx)) return run;
    // A search always moves on, so there are at most length + 1 matches; the bound only keeps a
    // fault from running on.
    for (int guard = 0; guard <= static_cast<int>(text.size()) + 1; ++guard) {
      MatchResult m = re.Match(&ctx);
      if (m.HitNestingLimit()) {
        run.cut = true;
        break;
      }
      if (!m.IsMatched() || !onMatch(m)) break;
    }
  } catch (const CMatchBreak&) {
    run.cut = true;
  }
  run.steps = count.steps;
  return run;
}

}  // namespace backtrack
