// Tests of DisposalThread: what is handed over is destroyed on the thread, not the caller's; in
// order; WaitIdle sees every job done; the destructor drains the queue (nothing is leaked).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/disposal_thread.h"

namespace {

// Records on which thread it was destroyed.
struct Tracked {
  explicit Tracked(std::atomic<int>* destroyed, std::thread::id* where) : destroyed(destroyed), where(where) {}
  Tracked(Tracked&& other) noexcept : destroyed(other.destroyed), where(other.where) { other.destroyed = nullptr; }
  ~Tracked() {
    if (!destroyed) return;
    *where = std::this_thread::get_id();
    ++*destroyed;
  }
  std::atomic<int>* destroyed;
  std::thread::id* where;
};

TEST(DisposalThread, GarbageIsDestroyedOnItsOwnThread) {
  std::atomic<int> destroyed{0};
  std::thread::id where;
  DisposalThread disposal;
  disposal.Dispose(Tracked(&destroyed, &where));
  disposal.WaitIdle();
  EXPECT_EQ(1, destroyed.load());
  EXPECT_NE(std::this_thread::get_id(), where);
}

TEST(DisposalThread, JobsRunInOrderAndWaitIdleSeesThemAll) {
  DisposalThread disposal;
  std::mutex mutex;
  std::vector<int> order;
  for (int i = 0; i < 200; ++i)
    disposal.Post([&, i] {
      std::lock_guard<std::mutex> lock(mutex);
      order.push_back(i);
    });
  disposal.WaitIdle();
  std::lock_guard<std::mutex> lock(mutex);
  ASSERT_EQ(200u, order.size());
  for (int i = 0; i < 200; ++i) EXPECT_EQ(i, order[i]);
}

TEST(DisposalThread, DestructorDrainsTheQueue) {
  std::atomic<int> destroyed{0};
  std::thread::id where;
  {
    DisposalThread disposal;
    // A slow first job keeps the rest queued when the destructor is called.
    disposal.Post([] { std::this_thread::sleep_for(std::chrono::milliseconds(50)); });
    for (int i = 0; i < 50; ++i) disposal.Dispose(Tracked(&destroyed, &where));
  }
  EXPECT_EQ(50, destroyed.load());
}

TEST(DisposalThread, WaitIdleWithoutJobsReturns) {
  DisposalThread disposal;
  disposal.WaitIdle();
  disposal.Post(nullptr);  // ignored
  disposal.WaitIdle();
  SUCCEED();
}

}  // namespace
