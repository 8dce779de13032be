// Tests of CEvent: manual and auto reset, time-outs, WaitAny, and hand-overs between threads.
// No test asserts an upper bound on time; limits are generous and only guard against hangs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/events.h"

namespace {

constexpr int kGenerousMs = 20000;  // "must happen" limit; only reached when the code is wrong

// Polls until pred holds or kGenerousMs pass.
template <typename Pred>
bool Eventually(Pred pred) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGenerousMs);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// --- State after construction, Set and Reset -----------------------------------------------

struct StateCase {
  const char* name;
  CEvent::Mode mode;
  bool initiallySet;
  bool firstWait;   // Wait(0) right after construction
  bool secondWait;  // a second Wait(0)
};

class EventState : public testing::TestWithParam<StateCase> {};

TEST_P(EventState, WaitZeroTestsAndAutoResetConsumes) {
  const StateCase& c = GetParam();
  CEvent e(c.mode, c.initiallySet);
  EXPECT_EQ(c.initiallySet, e.IsSet());
  EXPECT_EQ(c.firstWait, e.Wait(0));
  EXPECT_EQ(c.secondWait, e.Wait(0));
}

INSTANTIATE_TEST_SUITE_P(
    Events, EventState,
    testing::Values(StateCase{"ManualClear", CEvent::Mode::Manual, false, false, false},
                    StateCase{"ManualSet", CEvent::Mode::Manual, true, true, true},
                    StateCase{"AutoClear", CEvent::Mode::Auto, false, false, false},
                    StateCase{"AutoSetIsConsumedOnce", CEvent::Mode::Auto, true, true, false}),
    [](const testing::TestParamInfo<StateCase>& info) { return info.param.name; });

TEST(Events, ManualStaysSetUntilReset) {
  CManualResetEvent e;
  e.Set();
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(e.Wait(0));
  e.Wait();  // returns at once while set
  e.Reset();
  EXPECT_FALSE(e.IsSet());
  EXPECT_FALSE(e.Wait(0));
}

TEST(Events, AutoSetWithoutWaiterStaysPendingOnce) {
  CAutoResetEvent e;
  e.Set();
  e.Set();  // not counted: still one pending signal
  EXPECT_TRUE(e.IsSet());
  EXPECT_TRUE(e.Wait(0));
  EXPECT_FALSE(e.Wait(0));
  EXPECT_FALSE(e.IsSet());
}

TEST(Events, TimeoutReturnsFalseAfterTheLimit) {
  CManualResetEvent e;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(e.Wait(30));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

TEST(Events, SetFromAnotherThreadEndsTimedAndUntimedWaits) {
  for (int timeout : {CEvent::kInfinite, kGenerousMs}) {
    CManualResetEvent e;
    std::thread setter([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      e.Set();
    });
    EXPECT_TRUE(e.Wait(timeout)) << timeout;
    setter.join();
  }
}

TEST(Events, ManualSetReleasesEveryWaiter) {
  CManualResetEvent e;
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 4; ++i)
    waiters.emplace_back([&] {
      if (e.Wait(kGenerousMs)) ++released;
    });
  e.Set();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(4, released.load());
}

TEST(Events, AutoSetReleasesExactlyOneWaiter) {
  CAutoResetEvent e;
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i)
    waiters.emplace_back([&] {
      e.Wait();
      ++released;
    });
  e.Set();
  ASSERT_TRUE(Eventually([&] { return released == 1; }));
  // No further Set: nobody else may get through, however long we look.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(1, released.load());
  e.Set();
  ASSERT_TRUE(Eventually([&] { return released == 2; }));
  e.Set();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(3, released.load());
  EXPECT_FALSE(e.IsSet());
}

// Two threads hand a token back and forth through two auto-reset events; a lost wake-up would
// stall a hand-over and show as a timed-out wait.
TEST(Events, PingPongLosesNoWakeUps) {
  CAutoResetEvent ping, pong;
  constexpr int kRounds = 20000;
  std::atomic<bool> ok{true};
  std::thread other([&] {
    for (int i = 0; i < kRounds; ++i) {
      if (!ping.Wait(kGenerousMs)) {
        ok = false;
        return;
      }
      pong.Set();
    }
  });
  for (int i = 0; i < kRounds && ok; ++i) {
    ping.Set();
    if (!pong.Wait(kGenerousMs)) ok = false;
  }
  ping.Set();  // frees the other thread if we stopped early
  other.join();
  EXPECT_TRUE(ok);
}

// --- WaitAny ----------------------------------------------------------------------------------

struct AnyCase {
  const char* name;
  std::vector<std::pair<CEvent::Mode, bool>> events;  // mode, initially set
  int expected;                                        // index or kTimedOut
  std::vector<bool> setAfter;                          // state of each event afterwards
};

class WaitAnyState : public testing::TestWithParam<AnyCase> {};

TEST_P(WaitAnyState, LowestSignalledWinsAndOnlyItIsConsumed) {
  const AnyCase& c = GetParam();
  std::vector<std::unique_ptr<CEvent>> owned;
  std::vector<const CEvent*> list;
  for (const auto& [mode, set] : c.events) {
    owned.push_back(std::make_unique<CEvent>(mode, set));
    list.push_back(owned.back().get());
  }
  EXPECT_EQ(c.expected, CEvent::WaitAny(list.data(), list.size(), 0));
  for (size_t i = 0; i < owned.size(); ++i) EXPECT_EQ(c.setAfter[i], owned[i]->IsSet()) << i;
}

constexpr auto M = CEvent::Mode::Manual;
constexpr auto A = CEvent::Mode::Auto;

INSTANTIATE_TEST_SUITE_P(
    Events, WaitAnyState,
    testing::Values(AnyCase{"Empty", {}, CEvent::kTimedOut, {}},
                    AnyCase{"NoneSet", {{M, false}, {A, false}}, CEvent::kTimedOut, {false, false}},
                    AnyCase{"SecondAutoSet", {{M, false}, {A, true}}, 1, {false, false}},
                    AnyCase{"SecondManualSet", {{M, false}, {M, true}}, 1, {false, true}},
                    AnyCase{"BothSetManualFirst", {{M, true}, {A, true}}, 0, {true, true}},
                    AnyCase{"BothAutoOnlyFirstConsumed", {{A, true}, {A, true}}, 0, {false, true}},
                    AnyCase{"ThirdOfThree", {{A, false}, {M, false}, {A, true}}, 2,
                            {false, false, false}}),
    [](const testing::TestParamInfo<AnyCase>& info) { return info.param.name; });

TEST(Events, WaitAnyIgnoresNullEntries) {
  CManualResetEvent set(true);
  const CEvent* list[] = {nullptr, &set};
  EXPECT_EQ(1, CEvent::WaitAny(list, 2, 0));
  const CEvent* none[] = {nullptr};
  EXPECT_EQ(CEvent::kTimedOut, CEvent::WaitAny(none, 1, 0));
}

TEST(Events, WaitAnyTimesOutAfterTheLimit) {
  CManualResetEvent done, paused;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(CEvent::kTimedOut, CEvent::WaitAny({&done, &paused}, 30));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
  // The timed-out wait has left both events; setting them now must not touch it.
  done.Set();
  paused.Set();
  EXPECT_EQ(0, CEvent::WaitAny({&done, &paused}, 0));
}

// The document's "done or paused" wait: the worker sets one of them later.
TEST(Events, WaitAnyWakesForWhicheverEventIsSetLater) {
  for (int which : {0, 1}) {
    for (int timeout : {CEvent::kInfinite, kGenerousMs}) {
      CManualResetEvent done, paused;
      std::thread worker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        (which == 0 ? done : paused).Set();
      });
      EXPECT_EQ(which, CEvent::WaitAny({&done, &paused}, timeout));
      worker.join();
    }
  }
}

TEST(Events, AutoSetReleasesOneOfSeveralWaitAnyCallers) {
  CAutoResetEvent shared;
  CManualResetEvent finish;
  std::atomic<int> gotShared{0}, gotFinish{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i)
    waiters.emplace_back([&] {
      const int r = CEvent::WaitAny({&shared, &finish}, CEvent::kInfinite);
      (r == 0 ? gotShared : gotFinish)++;
    });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  shared.Set();
  ASSERT_TRUE(Eventually([&] { return gotShared == 1; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(1, gotShared.load());
  finish.Set();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(1, gotShared.load());
  EXPECT_EQ(2, gotFinish.load());
}

// A single-event waiter and a WaitAny caller compete for one auto-reset signal.
TEST(Events, AutoSetGoesToExactlyOneOfWaitAndWaitAny) {
  CAutoResetEvent e;
  CManualResetEvent stop;
  std::atomic<int> released{0};
  std::thread single([&] {
    if (e.Wait(kGenerousMs)) ++released;
  });
  std::thread any([&] {
    if (CEvent::WaitAny({&e, &stop}, kGenerousMs) == 0) ++released;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  e.Set();
  ASSERT_TRUE(Eventually([&] { return released == 1; }));
  e.Set();
  single.join();
  any.join();
  EXPECT_EQ(2, released.load());
}

}  // namespace
