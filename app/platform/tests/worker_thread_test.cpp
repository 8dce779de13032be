// Tests of WorkerThread: lazy creation, running jobs with their argument, the busy flag (also
// when a job ends itself early and the next Run comes at once), Stop, priority and stack size.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/events.h"
#include "platform/worker_thread.h"

#if defined(__linux__)
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

constexpr int kGenerousMs = 20000;

template <typename Pred>
bool Eventually(Pred pred) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGenerousMs);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

TEST(WorkerThread, ThreadIsCreatedOnFirstRunAndReused) {
  WorkerThread worker;
  EXPECT_FALSE(worker.HasThread());
  EXPECT_FALSE(worker.IsBusy());
  worker.Stop();  // nothing to stop
  EXPECT_FALSE(worker.HasThread());

  CAutoResetEvent done;
  std::mutex idMutex;
  std::thread::id first;
  std::atomic<int> runs{0};
  std::atomic<bool> sameThread{true};
  auto job = [&](void*) {
    {
      std::lock_guard<std::mutex> lock(idMutex);
      if (first == std::thread::id())
        first = std::this_thread::get_id();
      else if (first != std::this_thread::get_id())
        sameThread = false;
    }
    ++runs;
    done.Set();
  };
  for (int i = 0; i < 50; ++i) {
    worker.Run(job, nullptr);
    ASSERT_TRUE(done.Wait(kGenerousMs)) << i;
    ASSERT_TRUE(Eventually([&] { return !worker.IsBusy(); }));
  }
  EXPECT_TRUE(worker.HasThread());
  EXPECT_EQ(50, runs.load());
  EXPECT_TRUE(sameThread.load());
  std::lock_guard<std::mutex> lock(idMutex);
  EXPECT_NE(std::this_thread::get_id(), first);
}

TEST(WorkerThread, PassesTheArgumentAndRunsOnItsOwnThread) {
  WorkerThread worker;
  CManualResetEvent done;
  int value = 0;
  std::atomic<bool> onWorker{false};
  worker.Run(
      [&](void* arg) {
        *static_cast<int*>(arg) = 7;
        onWorker = worker.IsWorkerThread();
        done.Set();
      },
      &value);
  ASSERT_TRUE(done.Wait(kGenerousMs));
  EXPECT_EQ(7, value);
  EXPECT_TRUE(onWorker.load());
  EXPECT_FALSE(worker.IsWorkerThread());
}

TEST(WorkerThread, BusyFromRunUntilTheFunctionReturns) {
  WorkerThread worker;
  CManualResetEvent started, release;
  worker.Run(
      [&](void*) {
        started.Set();
        release.Wait();
      },
      nullptr);
  EXPECT_TRUE(worker.IsBusy());  // already on return from Run, before the thread woke
  ASSERT_TRUE(started.Wait(kGenerousMs));
  EXPECT_TRUE(worker.IsBusy());
  release.Set();
  EXPECT_TRUE(Eventually([&] { return !worker.IsBusy(); }));
}

// A job that publishes its own end (ClearBusy, then a done event) and a caller that starts the
// next job at once: the first job's return must not mark the second one idle.
TEST(WorkerThread, NextRunRightAfterClearBusyStaysBusy) {
  WorkerThread worker;
  CManualResetEvent firstDone, firstMayReturn, secondStarted, secondMayReturn;
  worker.Run(
      [&](void*) {
        worker.ClearBusy();
        firstDone.Set();
        firstMayReturn.Wait();
      },
      nullptr);
  ASSERT_TRUE(firstDone.Wait(kGenerousMs));
  EXPECT_FALSE(worker.IsBusy());
  worker.Run(
      [&](void*) {
        secondStarted.Set();
        secondMayReturn.Wait();
      },
      nullptr);
  firstMayReturn.Set();
  // From here until the second job returns the worker is busy, whatever the interleaving.
  bool alwaysBusy = true;
  while (!secondStarted.IsSet()) alwaysBusy = alwaysBusy && worker.IsBusy();
  for (int i = 0; i < 1000; ++i) alwaysBusy = alwaysBusy && worker.IsBusy();
  EXPECT_TRUE(alwaysBusy);
  secondMayReturn.Set();
  EXPECT_TRUE(Eventually([&] { return !worker.IsBusy(); }));
}

TEST(WorkerThread, RunWhileBusyRunsAfterTheCurrentJob) {
  WorkerThread worker;
  CManualResetEvent started, release, secondRan;
  std::atomic<bool> firstFinished{false}, orderOk{false};
  worker.Run(
      [&](void*) {
        started.Set();
        release.Wait();
        firstFinished = true;
      },
      nullptr);
  ASSERT_TRUE(started.Wait(kGenerousMs));
  worker.Run(
      [&](void*) {
        orderOk = firstFinished.load();
        secondRan.Set();
      },
      nullptr);
  release.Set();
  ASSERT_TRUE(secondRan.Wait(kGenerousMs));
  EXPECT_TRUE(orderOk.load());
}

TEST(WorkerThread, StopWaitsForTheRunningFunctionAndRunStartsAgain) {
  WorkerThread worker;
  CManualResetEvent started, release;
  std::atomic<bool> finished{false};
  worker.Run(
      [&](void*) {
        started.Set();
        release.Wait();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        finished = true;
      },
      nullptr);
  ASSERT_TRUE(started.Wait(kGenerousMs));
  release.Set();
  worker.Stop();
  EXPECT_TRUE(finished.load());
  EXPECT_FALSE(worker.HasThread());
  EXPECT_FALSE(worker.IsBusy());

  CManualResetEvent again;
  worker.Run([&](void*) { again.Set(); }, nullptr);
  EXPECT_TRUE(worker.HasThread());
  EXPECT_TRUE(again.Wait(kGenerousMs));
}

TEST(WorkerThread, DestructorStopsTheThread) {
  std::atomic<bool> finished{false};
  {
    WorkerThread worker;
    CManualResetEvent started;
    worker.Run(
        [&](void*) {
          started.Set();
          std::this_thread::sleep_for(std::chrono::milliseconds(30));
          finished = true;
        },
        nullptr);
    ASSERT_TRUE(started.Wait(kGenerousMs));
  }
  EXPECT_TRUE(finished.load());
}

// Recursion about 24 MiB deep: far beyond a default 8 MiB thread stack, well inside ours.
int Recurse(int depth) {
  volatile char frame[1024];
  frame[0] = char(depth);
  if (depth == 0) return frame[0];
  return Recurse(depth - 1) + frame[0] - char(depth);
}

TEST(WorkerThread, LargeStackCarriesDeepRecursion) {
  WorkerThread worker;
  CManualResetEvent done;
  std::atomic<int> result{-1};
  std::size_t stackSize = 0;
  worker.Run(
      [&](void*) {
#if defined(__linux__)
        pthread_attr_t attr;
        if (pthread_getattr_np(pthread_self(), &attr) == 0) {
          pthread_attr_getstacksize(&attr, &stackSize);
          pthread_attr_destroy(&attr);
        }
#endif
        result = Recurse(24 * 1024);
        done.Set();
      },
      nullptr);
  ASSERT_TRUE(done.Wait(kGenerousMs));
  EXPECT_EQ(0, result.load());
#if defined(__linux__)
  EXPECT_GE(stackSize, WorkerThread::kStackSize);
#endif
}

#if defined(__linux__)
TEST(WorkerThread, RunsOneStepBelowTheCallersPriority) {
  errno = 0;
  const int callerNice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
  ASSERT_EQ(0, errno);
  WorkerThread worker;
  CManualResetEvent done;
  std::atomic<int> workerNice{-100};
  worker.Run(
      [&](void*) {
        workerNice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
        done.Set();
      },
      nullptr);
  ASSERT_TRUE(done.Wait(kGenerousMs));
  EXPECT_EQ(std::min(callerNice + 1, 19), workerNice.load());
}
#endif

}  // namespace
