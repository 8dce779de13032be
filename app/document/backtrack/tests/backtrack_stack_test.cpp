// The backtracking session analyses on a worker with a stack of its own size. In this process
// every thread started without a size gets a narrow stack (narrow_thread_stack.h), as a thread of
// the system's default size is narrow for a pattern nested deeply enough: the same analysis
// overflows a std::thread here (the death test, which keeps the pattern honest), and the session
// must still finish it on its worker and show the verdict.
#include "app/platform/tests/narrow_thread_stack.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "app/document/backtrack/backtrack_analysis.h"
#include "app/document/backtrack/backtrack_session.h"

namespace {

// Repeated groups nested as deep as the compiler builds them (TARNO_MAX_PARSE_DEPTH is 250):
// the compiler, the automaton and the witness runs recurse once per level, between 256 and
// 512 KiB of stack in an optimised build; far more than kNarrowThreadStack, far less than the
// worker's 64 MiB.
const int kDepth = 240;

std::u16string Nested(int depth) {
  std::u16string p;
  for (int i = 0; i < depth; ++i) p += u"(?:";
  p += u"a";
  for (int i = 0; i < depth; ++i) p += u")*";
  return p + u"c";
}

TEST(BacktrackStack, ThreadsStartWithANarrowStack) {
  ASSERT_TRUE(kNarrowedThreadStack) << "this platform cannot narrow the default thread stack";
  const std::size_t size = DefaultThreadStackSize();
  EXPECT_GT(size, 0u);
  EXPECT_LE(size, kNarrowThreadStack);
}

TEST(BacktrackStackDeathTest, TheDeepPatternOverflowsANarrowThread) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        std::thread analysis([] { backtrack::Analyze(Nested(kDepth), 0); });
        analysis.join();
      },
      "");
}

TEST(BacktrackStack, TheSessionAnalysesTheDeepPatternOnItsWorker) {
  std::atomic<int> notified{0};
  CBacktrackSession session([&notified] { ++notified; });
  session.Request(Nested(kDepth), 0, nullptr, {});
  const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while (session.GetPhase() != CBacktrackSession::DONE && std::chrono::steady_clock::now() < end) {
    session.Collect();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(CBacktrackSession::DONE, session.GetPhase());
  // Analysed through all three stages: the nested repeats are a finding, which the witness runs
  // do not confirm (the greedy repeats give nothing back that could match "c").
  const backtrack::Report& report = session.TakenReport();
  EXPECT_EQ(backtrack::LINEAR, report.verdict) << backtrack::VerdictText(report);
  EXPECT_FALSE(report.findings.empty());
  EXPECT_GE(notified.load(), 1);
}

}  // namespace
