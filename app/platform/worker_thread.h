// WorkerThread: a reusable thread that runs one function at a time on request.
// Covered by tests/worker_thread_test.cpp.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/events.h"

// The thread is created on the first Run and then sleeps on its wake event between jobs:
//   wait for the wake event; if the quit flag is set, leave; else mark busy, call the function
//   with its argument, clear busy (unless another Run arrived meanwhile), wait again.
//
// The thread runs one step below normal priority and with a stack of kStackSize bytes, because
// the matcher recurses once per nesting level of the pattern and a deeply nested pattern on a
// long subject goes far beyond the usual 8 MiB default.
//
// Threads: Run, Stop and the destructor are called by the controlling threads (the UI thread,
// and the background worker for the match worker); they are serialised internally. IsBusy and
// ClearBusy may be called from any thread. The function itself must never call Stop on its own
// worker (Stop waits for the thread to end); it is refused there.
class WorkerThread {
 public:
  using Function = std::function<void(void*)>;
  // 64 MiB. Only address space is reserved up front; pages are committed as the stack grows.
  static constexpr std::size_t kStackSize = std::size_t(64) << 20;
  // The name a worker's thread carries where the system keeps thread names (ps, debuggers, and
  // the tests that count the workers still running among the runtime's own threads).
  static constexpr const char* kThreadName = "kv-worker";

  WorkerThread();
  // Stops the thread (waiting for a running function to return).
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Stores the function and its argument, marks the worker busy, creates the thread if there is
  // none and wakes it. The busy flag is set here, before the thread wakes, so that a caller that
  // checks IsBusy right after Run never sees an idle worker with a job pending. A Run while a
  // function is still running is taken up as soon as that returns; of several such Runs only the
  // last one is kept.
  void Run(Function function, void* argument);
  // If a thread exists: sets the quit flag, wakes the thread, waits without limit for it to end
  // and forgets it. A job that was requested but had not started is dropped, and the busy flag
  // is cleared. The next Run creates a new thread.
  void Stop();

  // True from Run until the function has returned (or ClearBusy was called).
  bool IsBusy() const { return m_busy.load(std::memory_order_acquire); }
  // Lets a job declare itself finished before it returns, so that the end of the job can be
  // published under the caller's own lock together with its other end-of-job state.
  void ClearBusy();
  bool HasThread() const;
  // True when called on this worker's own thread.
  bool IsWorkerThread() const;

 private:
  struct Thread;  // the platform's thread with its stack size
  static void* Entry(void* self);
  void Loop();

  mutable std::mutex m_control;     // serialises Run and Stop; guards m_thread
  std::unique_ptr<Thread> m_thread;  // none until the first Run; guarded by m_control
  // The thread's id for the queries that must not take m_control (the worker's own function may
  // ask while Stop holds it).
  mutable std::mutex m_idMutex;
  std::thread::id m_threadId;  // guarded by m_idMutex; set by the thread itself before its first job
  std::atomic<bool> m_hasThread{false};  // written under m_control
  CAutoResetEvent m_wake;
  std::atomic<bool> m_quit{false};  // written by Stop, read by the thread
  std::atomic<bool> m_busy{false};

  std::mutex m_jobMutex;   // guards the three fields below
  Function m_function;     // the job to run next, set by Run
  void* m_argument = nullptr;
  bool m_pending = false;  // a Run has not yet been taken up by the thread
};
