// The test runner on its own worker: a run gives one result per test, partial results carry
// "not run" for the tests still to come, the newest Start wins (an abandoned run's results are
// never handed out, however they race), Cancel leaves nothing to take, notifications are spaced
// out while a run goes on and come once at its end, and destroying the runner in the middle of
// a search abandons it inside the engine and lets go of what it was handed.
//
// The slow tests below are exponential searches with a time limit of an hour: only an abandon
// inside the engine ends them in the lifetime of a test. A watchdog turns a runner that fails to
// abandon into a clear failure instead of a hang until the CTest time-out.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/document/testing/test_runner.h"
#include "stringtable.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kHourMs = 3600 * 1000;
// Two ways to take each "a" and no "c" or "d": 2^60 attempts before it gives up. (A greedy
// repeat remembers the end positions it has offered, so it takes a reluctant one; and the end
// is a choice of two, so that no required-literal scan of the direct search rules it out.)
const char kSlowPattern[] = "(?:a|a)*?(?:c|d)";
const std::string kSlowSubject(60, 'a');

TestText U(const std::string& s) { return TestText(s.begin(), s.end()); }

TestCase Make(const std::string& subject, int expectation) {
  TestCase t;
  t.name = U(subject.substr(0, 10));
  t.SetSubject(U(subject));
  t.expectation = expectation;
  return t;
}

// A test set and the compiled copies of one pattern for it (made on this thread, as the
// document makes them on the UI thread).
struct Prepared {
  std::shared_ptr<const TestSet> tests;
  std::shared_ptr<const CTestPatterns> patterns;
};
Prepared Prepare(const std::string& pattern, const TestSet& tests) {
  Prepared r;
  r.tests = std::make_shared<const TestSet>(tests);
  r.patterns = std::make_shared<const CTestPatterns>(U(pattern), 0, TestText(), *r.tests);
  return r;
}

// Fails the whole program when `what` has not ended after two minutes: the code under test is
// stuck in a search it should have abandoned (a hang would otherwise last until the CTest
// time-out and say nothing).
class CWatchdog {
 public:
  explicit CWatchdog(const char* what) : m_what(what), m_thread([this] { Watch(); }) {}
  ~CWatchdog() {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_done = true;
    }
    m_cv.notify_all();
    m_thread.join();
  }

 private:
  void Watch() {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_cv.wait_for(lock, std::chrono::minutes(2), [this] { return m_done; })) return;
    std::fprintf(stderr, "FAILED: %s did not end: the run was not abandoned inside the engine\n", m_what);
    std::fflush(stderr);
    std::_Exit(1);
  }
  const char* m_what;
  std::mutex m_mutex;
  std::condition_variable m_cv;
  bool m_done = false;
  std::thread m_thread;
};

class TestRunnerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { CStringTable::SetCurrent(CStringTable::kEnglish); }

  // Polls until `done` holds; false after a minute (a run of a few quick tests takes
  // milliseconds, so only a runner that never finishes gets there).
  template <typename F>
  static bool WaitFor(F done) {
    const Clock::time_point end = Clock::now() + std::chrono::minutes(1);
    while (!done()) {
      if (Clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }

  struct Taken {
    bool any = false;
    unsigned generation = 0;
    std::vector<TestResult> results;
    bool complete = false;
  };
  static Taken Take(CTestRunner& runner) {
    Taken t;
    t.any = runner.TakeResults(&t.generation, &t.results, &t.complete);
    return t;
  }
  static std::vector<int> Statuses(const Taken& t) {
    std::vector<int> s;
    for (const TestResult& r : t.results) s.push_back(r.status);
    return s;
  }
};

TEST_F(TestRunnerTest, ACompleteRunGivesOneResultPerTestUnderItsGeneration) {
  std::atomic<int> notified{0};
  CTestRunner runner([&] { ++notified; });
  const Prepared run = Prepare("b+", {Make("abba", EXPECT_MATCH), Make("xyz", EXPECT_MATCH), Make("xyz", EXPECT_NO_MATCH)});
  const unsigned generation = runner.Start(run.patterns, run.tests, 5000);
  EXPECT_EQ(generation, runner.Generation());
  Taken t;
  ASSERT_TRUE(WaitFor([&] { return (t = Take(runner)).complete; }));
  EXPECT_EQ(generation, t.generation);
  EXPECT_EQ((std::vector<int>{TEST_PASS, TEST_FAIL, TEST_PASS}), Statuses(t));
  EXPECT_FALSE(t.results[1].reason.isEmpty());
  // The end of the run is told once it is complete.
  ASSERT_TRUE(WaitFor([&] { return notified.load() > 0 && !runner.IsRunning(); }));
}

TEST_F(TestRunnerTest, PartialResultsMarkTheTestsStillToComeAsNotRun) {
  CTestRunner runner(nullptr);
  const Prepared run = Prepare(kSlowPattern, {Make("ac", EXPECT_MATCH), Make(kSlowSubject, EXPECT_NO_MATCH),
                                         Make("c", EXPECT_MATCH)});
  CWatchdog watchdog("a run with a slow test in the middle");
  runner.Start(run.patterns, run.tests, kHourMs);
  Taken t;
  ASSERT_TRUE(WaitFor([&] { return (t = Take(runner)).any && t.results[0].status != TEST_NOT_RUN; }));
  EXPECT_FALSE(t.complete);
  EXPECT_EQ((std::vector<int>{TEST_PASS, TEST_NOT_RUN, TEST_NOT_RUN}), Statuses(t));
  runner.Cancel();
}

TEST_F(TestRunnerTest, TheNewestStartWinsAndAnAbandonedRunNeverHandsOutResults) {
  CTestRunner runner(nullptr);
  // The first run is stuck in its first test; the second has a different number of tests, so
  // that results of the first could not pass for the second's.
  const Prepared slow = Prepare(kSlowPattern, {Make(kSlowSubject, EXPECT_NO_MATCH), Make("c", EXPECT_MATCH),
                                          Make("ac", EXPECT_MATCH)});
  const Prepared quick = Prepare("a", {Make("a", EXPECT_MATCH), Make("b", EXPECT_NO_MATCH)});
  CWatchdog watchdog("a run overtaken by a newer one");
  const unsigned first = runner.Start(slow.patterns, slow.tests, kHourMs);
  ASSERT_TRUE(WaitFor([&] { return runner.IsRunning(); }));
  const unsigned second = runner.Start(quick.patterns, quick.tests, 5000);
  EXPECT_GT(second, first);
  // Every take from now on belongs to the second run, partial or complete.
  Taken t;
  ASSERT_TRUE(WaitFor([&] {
    t = Take(runner);
    EXPECT_TRUE(t.any);
    EXPECT_EQ(second, t.generation);
    EXPECT_EQ(2u, t.results.size());
    return t.complete;
  }));
  EXPECT_EQ((std::vector<int>{TEST_PASS, TEST_PASS}), Statuses(t));

  // Many Starts in a row, each overtaking the last: only the newest set's results come out.
  std::vector<Prepared> runs;
  for (int i = 1; i <= 20; ++i) runs.push_back(Prepare("a", TestSet(i, Make("a", EXPECT_MATCH))));
  unsigned last = 0;
  for (const Prepared& r : runs) last = runner.Start(r.patterns, r.tests, 5000);
  ASSERT_TRUE(WaitFor([&] { return (t = Take(runner)).complete; }));
  EXPECT_EQ(last, t.generation);
  EXPECT_EQ(20u, t.results.size());
  for (const TestResult& r : t.results) EXPECT_EQ(TEST_PASS, r.status);
}

// A Start right after another, before the worker has taken up the first: the body queued for
// the first already finds the second job, and the body queued for the second must not run it
// again (each test counted twice, the run never complete). A fresh runner each time, so that
// its thread is still starting when the second Start comes.
TEST_F(TestRunnerTest, TwoStartsInARowRunTheNewestOnce) {
  const Prepared first = Prepare("a", {Make("a", EXPECT_MATCH)});
  const Prepared second = Prepare("b", {Make("b", EXPECT_MATCH), Make("a", EXPECT_NO_MATCH), Make("bb", EXPECT_MATCH)});
  for (int i = 0; i < 50; ++i) {
    CTestRunner runner(nullptr);
    runner.Start(first.patterns, first.tests, 5000);
    const unsigned newest = runner.Start(second.patterns, second.tests, 5000);
    Taken t;
    ASSERT_TRUE(WaitFor([&] { return (t = Take(runner)).complete; })) << "try " << i;
    EXPECT_EQ(newest, t.generation);
    EXPECT_EQ((std::vector<int>{TEST_PASS, TEST_PASS, TEST_PASS}), Statuses(t));
    ASSERT_TRUE(WaitFor([&] { return !runner.IsRunning(); }));
    EXPECT_TRUE((t = Take(runner)).complete) << "a second body ran the job again (try " << i << ")";
  }
}

TEST_F(TestRunnerTest, AfterCancelThereIsNothingToTake) {
  std::atomic<int> notified{0};
  CTestRunner runner([&] { ++notified; });
  const Prepared slow = Prepare(kSlowPattern, {Make("c", EXPECT_MATCH), Make(kSlowSubject, EXPECT_NO_MATCH)});
  CWatchdog watchdog("a cancelled run");
  const unsigned started = runner.Start(slow.patterns, slow.tests, kHourMs);
  Taken t;
  ASSERT_TRUE(WaitFor([&] { return (t = Take(runner)).any && t.results[0].status != TEST_NOT_RUN; }));
  runner.Cancel();
  EXPECT_GT(runner.Generation(), started);
  EXPECT_FALSE(Take(runner).any);
  // The worker leaves the slow test inside the engine and writes nothing on its way out.
  ASSERT_TRUE(WaitFor([&] { return !runner.IsRunning(); }));
  EXPECT_FALSE(Take(runner).any);

  // A Cancel with nothing running changes nothing but the generation; a new run works as ever.
  runner.Cancel();
  EXPECT_FALSE(Take(runner).any);
  const Prepared quick = Prepare("c", {Make("c", EXPECT_MATCH)});
  const unsigned next = runner.Start(quick.patterns, quick.tests, 5000);
  ASSERT_TRUE(WaitFor([&] { return (t = Take(runner)).complete; }));
  EXPECT_EQ(next, t.generation);
  EXPECT_EQ((std::vector<int>{TEST_PASS}), Statuses(t));
}

TEST_F(TestRunnerTest, NotificationsAreSpacedOutWhileARunGoesOnAndComeOnceAtTheEnd) {
  std::mutex mutex;
  std::vector<Clock::time_point> times;
  CTestRunner runner([&] {
    std::lock_guard<std::mutex> lock(mutex);
    times.push_back(Clock::now());
  });
  // Thousands of quick tests: unthrottled, that would be one notification each.
  const int count = 3000;
  const Prepared run = Prepare("a+", TestSet(count, Make(std::string(50, 'a'), EXPECT_MATCH)));
  const Clock::time_point before = Clock::now();
  runner.Start(run.patterns, run.tests, 5000);
  Taken t;
  ASSERT_TRUE(WaitFor([&] { return (t = Take(runner)).complete; }));
  ASSERT_TRUE(WaitFor([&] { return !runner.IsRunning(); }));
  const Clock::time_point after = Clock::now();
  std::lock_guard<std::mutex> lock(mutex);
  ASSERT_FALSE(times.empty()) << "the end of the run is always told";
  // Between two notifications during the run lie 50 ms (49 and a bit, as the runner reads the
  // clock in whole milliseconds); only the last may follow sooner. So however slow the machine,
  // the count is bounded by the run's length.
  for (size_t i = 1; i + 1 < times.size(); ++i)
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(times[i] - times[i - 1]).count(), 49) << i;
  const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(after - before).count();
  EXPECT_LE(static_cast<long long>(times.size()), ms / 49 + 2) << "in " << ms << " ms";
  EXPECT_LT(static_cast<int>(times.size()), count);
}

TEST_F(TestRunnerTest, DestroyingTheRunnerDuringASearchAbandonsItAndLetsGoOfItsInput) {
  std::atomic<bool> destroyed{false};
  std::atomic<int> lateNotifications{0};
  std::weak_ptr<const TestSet> tests;
  std::weak_ptr<const CTestPatterns> patterns;
  {
    const Prepared slow = Prepare(kSlowPattern, {Make("c", EXPECT_MATCH), Make(kSlowSubject, EXPECT_NO_MATCH)});
    tests = slow.tests;
    patterns = slow.patterns;
    auto runner = std::make_unique<CTestRunner>([&] {
      if (destroyed) ++lateNotifications;
    });
    runner->Start(slow.patterns, slow.tests, kHourMs);
    Taken t;
    // The first test is done: the worker is inside the slow one.
    ASSERT_TRUE(WaitFor([&] { return (t = Take(*runner)).any && t.results[0].status != TEST_NOT_RUN; }));
    ASSERT_TRUE(runner->IsRunning());
    {
      CWatchdog watchdog("destroying the runner during a search");
      runner.reset();
    }
    destroyed = true;
  }
  EXPECT_EQ(0, lateNotifications.load());
  // The runner kept neither the tests nor the compiled copies past its end.
  EXPECT_TRUE(tests.expired());
  EXPECT_TRUE(patterns.expired());
}

}  // namespace
