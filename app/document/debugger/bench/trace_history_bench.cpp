// The trace history on a long trace (run by hand, not a test):
//   build/app/document/debugger/bench/trace_history_bench [steps]
// Records a search of `steps` element entries (10,000,000 by default) of a pattern that
// backtracks without end, and reports:
//   - the history's bytes per step (aim: under 16),
//   - the time to record it against the same search with the document's untraced hook, which
//     only counts steps and checks for a break (aim: within 3x),
//   - the latency of a step back and of a jump to an arbitrary step (aim: under 50 ms each).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "app/document/matching/step_counts.h"
#include "app/document/debugger/trace_history.h"

namespace {

typedef std::chrono::steady_clock Clock;

struct Run {
  CStepCounter steps;
  CTraceHistory* history = nullptr;
  std::int64_t limit = 0;
};

// As the document's hook does on every entry: count, then stop at the limit (the document checks
// its abort flag there).
void Hook(int event, HostContext* ctx, const HostElement*, int outcome, const TraceStackEntry<unsigned short>* stack,
          int depth, void* user) {
  Run* r = static_cast<Run*>(user);
  if (event == TRACE_ENTER) {
    r->steps.Count(depth == 1 && !stack[0].retry ? stack[0].entryPos : -1);
    if (static_cast<std::int64_t>(r->steps.Total()) > r->limit) throw CMatchBreak(CMatchBreak::ABORTED);
  }
  if (r->history) r->history->Record(event, ctx, outcome, stack, depth);
}

double Search(std::int64_t limit, CTraceHistory* history, std::uint64_t* steps) {
  const std::string pattern = "(a*)(a*)(a*)b";  // cubically many splits, each moving the captures
  const std::vector<unsigned short> p(pattern.begin(), pattern.end());
  const std::vector<unsigned short> s(200, 'a');
  HostRegexp re;
  re.Compile(p.data(), static_cast<int>(p.size()), 0);
  HostContext ctx;
  Run r;
  r.history = history;
  r.limit = limit;
  ctx.m_pfnTraceHook = &Hook;
  ctx.m_pUserData = &r;
  re.PrepareMatch(s.data(), static_cast<int>(s.size()), -1, &ctx);
  const auto t0 = Clock::now();
  try {
    re.Match(&ctx);
  } catch (const CMatchBreak&) {
  }
  const double secs = std::chrono::duration<double>(Clock::now() - t0).count();
  *steps = r.steps.Total();
  return secs;
}

double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

}  // namespace

int main(int argc, char** argv) {
  const std::int64_t limit = argc > 1 ? std::atoll(argv[1]) : 10000000;
  std::uint64_t plainSteps = 0, tracedSteps = 0;
  double plain = 1e9;
  for (int i = 0; i < 3; ++i) plain = std::min(plain, Search(limit, nullptr, &plainSteps));
  double traced = 1e9;
  CTraceHistory history(std::size_t(4) << 30);  // no dropping: the whole trace is measured
  for (int i = 0; i < 3; ++i) {
    history.Clear();
    traced = std::min(traced, Search(limit, &history, &tracedSteps));
  }
  std::printf("steps: %llu (untraced %llu), events kept: %lld\n", static_cast<unsigned long long>(tracedSteps),
              static_cast<unsigned long long>(plainSteps), static_cast<long long>(history.End()));
  std::printf("memory: %.1f MiB, %.2f bytes per step\n", history.MemoryBytes() / 1048576.0,
              static_cast<double>(history.MemoryBytes()) / tracedSteps);
  std::printf("untraced %.3f s, recorded %.3f s: %.2fx\n", plain, traced, traced / plain);

  std::mt19937_64 rng(7);
  HistoryState s;
  double worstBack = 0, sumBack = 0, worstJump = 0, sumJump = 0;
  const int n = 200;
  for (int i = 0; i < n; ++i) {
    const std::int64_t at = 1 + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(history.End() - 1));
    auto t0 = Clock::now();
    history.StateAt(at, &s);  // a jump
    auto t1 = Clock::now();
    history.StateAt(at - 1, &s);  // a step back from there
    auto t2 = Clock::now();
    worstJump = std::max(worstJump, Ms(t0, t1));
    sumJump += Ms(t0, t1);
    worstBack = std::max(worstBack, Ms(t1, t2));
    sumBack += Ms(t1, t2);
  }
  std::printf("jump: mean %.3f ms, worst %.3f ms; step back: mean %.3f ms, worst %.3f ms (%d each)\n", sumJump / n,
              worstJump, sumBack / n, worstBack, n);
  return 0;
}
