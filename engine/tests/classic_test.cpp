// Classic backtracking (CMatchContext::m_bClassic, host build): the same matches as the default
// search, with the greedy repeats' passing over explored ends turned off, so that the number of
// element entries is the one a backtracking engine without that shortcut makes.
#define TARNO_HOST_BUILD
#include <gtest/gtest.h>

#include <string>

#include "engine/tarno.h"

namespace {

struct Outcome {
  std::string matches;
  long long steps = 0;
};

void CountEntry(int event, CMatchContext<char>*, const CPatternElement<char>*, int,
                const TraceStackEntry<char>*, int, void* user) {
  if (event == TRACE_ENTER) ++*static_cast<long long*>(user);
}

Outcome Search(const char* pattern, const std::string& subject, bool classic) {
  CRegexpT<char> re(pattern, static_cast<int>(std::char_traits<char>::length(pattern)), 0);
  CMatchContext<char> ctx;
  ctx.m_bClassic = classic;
  Outcome run;
  ctx.m_pfnTraceHook = &CountEntry;
  ctx.m_pUserData = &run.steps;
  re.PrepareMatch(subject.data(), static_cast<int>(subject.size()), -1, &ctx);
  for (MatchResult m = re.Match(&ctx); m.IsMatched(); m = re.Match(&ctx)) {
    run.matches += std::to_string(m.GetStart()) + "-" + std::to_string(m.GetEnd()) + " ";
  }
  return run;
}

// The shortcut is what keeps these polynomial; without it the step count must grow much faster,
// while the matches stay the same.
TEST(Classic, MoreStepsSameMatches) {
  struct Row {
    const char* pattern;
    std::string subject;
  } rows[] = {
      {"(a|aa)*c", std::string(16, 'a')},
      {"(a|aa)*c", std::string(16, 'a') + "c" + std::string(16, 'a')},
      {"(a+)+b", std::string(14, 'a')},
      {"(a*)*b", std::string(14, 'a')},
      {"(\\w+\\s?)*$", "word word word word!"},
  };
  for (const Row& r : rows) {
    Outcome fast = Search(r.pattern, r.subject, false);
    Outcome classic = Search(r.pattern, r.subject, true);
    EXPECT_EQ(fast.matches, classic.matches) << r.pattern;
    EXPECT_GT(classic.steps, 4 * fast.steps) << r.pattern << ": " << fast.steps << " vs " << classic.steps;
  }
}

// Where nothing is passed over, both searches take the same steps.
TEST(Classic, NoRepeatToSkipSameSteps) {
  const char* patterns[] = {"abc|abd", "a?b?c", "x(?:ab)c"};
  for (const char* p : patterns) {
    Outcome fast = Search(p, "abdabcxabc", false);
    Outcome classic = Search(p, "abdabcxabc", true);
    EXPECT_EQ(fast.matches, classic.matches) << p;
    EXPECT_EQ(fast.steps, classic.steps) << p;
  }
}

// The classic search of (a|aa)*c grows as the Fibonacci numbers: each added 'a' multiplies the
// steps by about 1.6, where the default search grows polynomially.
TEST(Classic, FibonacciGrowth) {
  long long a = Search("(a|aa)*c", std::string(18, 'a'), true).steps;
  long long b = Search("(a|aa)*c", std::string(20, 'a'), true).steps;
  EXPECT_GT(b, 2 * a);
  long long fa = Search("(a|aa)*c", std::string(18, 'a'), false).steps;
  long long fb = Search("(a|aa)*c", std::string(20, 'a'), false).steps;
  EXPECT_LT(fb, 2 * fa);
}

}  // namespace
