// The matcher of the property tests (random_patterns.h): the engine's host build, whose trace
// hook lets a search be cut off after a budget of element attempts. Random patterns with nested
// repeats can take exponential time on a backtracking engine; such a search says so instead of
// holding up the run.
#ifndef TARNO_HOST_BUILD
#define TARNO_HOST_BUILD
#endif
#include "engine/tarno.h"
#include "plugins/fennic/tests/random_patterns.h"

namespace fennic_props {
namespace {

typedef unsigned short Unit;

void CountAttempt(int event, CMatchContext<Unit>*, const CPatternElement<Unit>*, int, const TraceStackEntry<Unit>*,
                  int, void* userData) {
  if (event != TRACE_ENTER) return;
  long* left = static_cast<long*>(userData);
  if (--*left < 0) throw CMatchBreak(CMatchBreak::ABORTED);
}

}  // namespace

bool LimitedSpans(const std::u16string& pattern, int flags, const std::u16string& subject, long budget,
                  std::vector<std::pair<int, int>>* spans) {
  spans->clear();
  std::vector<Unit> p(pattern.begin(), pattern.end()), t(subject.begin(), subject.end());
  CRegexpT<Unit> re(p.data(), static_cast<int>(p.size()), flags);
  CMatchContext<Unit> ctx;
  if (!re.PrepareMatch(t.data(), static_cast<int>(t.size()), -1, &ctx)) return true;
  long left = budget;
  ctx.m_pfnTraceHook = &CountAttempt;
  ctx.m_pUserData = &left;
  try {
    // A search always moves on, so there are at most length + 1 matches; the bound only keeps
    // a fault from running on.
    for (size_t guard = 0; guard <= t.size() + 1; ++guard) {
      MatchResult m = re.Match(&ctx);
      if (!m.IsMatched()) break;
      spans->push_back(std::make_pair(m.GetStart(), m.GetEnd()));
    }
  } catch (const CMatchBreak&) {
    return false;
  }
  return true;
}

}  // namespace fennic_props
