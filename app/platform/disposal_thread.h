// DisposalThread: frees large structures on a thread of its own.
//
// Dropping the results of a big Find All releases hundreds of thousands of handles and tens of
// megabytes, and then gives the freed pages back to the system: tens of milliseconds that the
// UI thread must not spend while a user edits. The owner moves what it drops into a job here
// and goes on; the job's destructor runs on this thread.
//
// Threads: Post, WaitIdle and the destructor are called by the owner's thread. Jobs run one at
// a time, in the order posted; a job must only free what was handed to it (and may call
// functions that are safe on any thread, such as giving freed memory back).
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

class DisposalThread {
 public:
  DisposalThread() = default;
  // Runs what is still queued, then ends the thread: nothing handed over is lost or leaked.
  ~DisposalThread();
  DisposalThread(const DisposalThread&) = delete;
  DisposalThread& operator=(const DisposalThread&) = delete;

  // Queues `job`; the thread is created on the first call. The job object itself (and what it
  // captured) is destroyed on the thread, right after it ran.
  void Post(std::function<void()> job);
  // Moves `garbage` into a job that destroys it there.
  template <class T>
  void Dispose(T&& garbage) {
    auto held = std::make_shared<typename std::decay<T>::type>(std::forward<T>(garbage));
    Post([held = std::move(held)]() mutable { held.reset(); });
  }
  // Waits until every job posted so far has run (for figures and tests that need the memory
  // given back before they look).
  void WaitIdle();

 private:
  void Loop();

  std::mutex m_mutex;  // guards the three fields below
  std::condition_variable m_wake;
  std::condition_variable m_idle;
  std::deque<std::function<void()>> m_jobs;
  bool m_quit = false;
  bool m_running = false;  // a job has been taken from the queue and has not finished
  std::thread m_thread;    // owner's thread only
};
