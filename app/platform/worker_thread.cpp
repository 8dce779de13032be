// WorkerThread on the platform's threads: POSIX threads where there are any (they take a stack
// size), std::thread elsewhere. Not QThread: its internal waits are invisible to
// ThreadSanitizer, which then reports races inside Qt on every thread that ends.
// Covered by tests/worker_thread_test.cpp.
#include "platform/worker_thread.h"

#include <cassert>

#if defined(__unix__) || defined(__APPLE__)
#define KORVANE_POSIX_THREADS 1
#include <pthread.h>
#endif

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

// On Linux the usual scheduling policy ignores QThread's priorities, so the step below normal
// is made with the thread's nice value, which Linux keeps per thread. Raising one's own nice
// value never needs privileges.
void LowerCurrentThreadPriority() {
#if defined(__linux__)
  const id_t tid = static_cast<id_t>(gettid());
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, tid);
  if (nice == -1 && errno != 0) return;
  if (nice < 19) setpriority(PRIO_PROCESS, tid, nice + 1);
#endif
}

}  // namespace

struct WorkerThread::Thread {
#if KORVANE_POSIX_THREADS
  pthread_t handle;
#else
  std::thread handle;
#endif
};

void* WorkerThread::Entry(void* self) {
  static_cast<WorkerThread*>(self)->Loop();
  return nullptr;
}

WorkerThread::WorkerThread() = default;

WorkerThread::~WorkerThread() { Stop(); }

void WorkerThread::Run(Function function, void* argument) {
  std::lock_guard<std::mutex> control(m_control);
  {
    std::lock_guard<std::mutex> job(m_jobMutex);
    m_function = std::move(function);
    m_argument = argument;
    m_pending = true;
    m_busy.store(true, std::memory_order_release);
  }
  if (!m_thread) {
    m_quit.store(false);
    std::unique_ptr<Thread> thread(new Thread);
#if KORVANE_POSIX_THREADS
    pthread_attr_t attributes;
    bool started = false;
    if (pthread_attr_init(&attributes) == 0) {
      started = pthread_attr_setstacksize(&attributes, kStackSize) == 0 &&
                pthread_create(&thread->handle, &attributes, &WorkerThread::Entry, this) == 0;
      pthread_attr_destroy(&attributes);
    }
    // Without the large stack rather than not at all: deep patterns then fail sooner.
    if (!started) started = pthread_create(&thread->handle, nullptr, &WorkerThread::Entry, this) == 0;
    if (!started) {
      // No thread can be made: run the job here, so that whoever waits for it is not left
      // waiting for ever.
      Function f;
      {
        std::lock_guard<std::mutex> job(m_jobMutex);
        f = std::move(m_function);
        m_function = nullptr;
        m_pending = false;
      }
      if (f) f(argument);
      m_busy.store(false, std::memory_order_release);
      return;
    }
#if defined(__linux__)
    // Named by its maker, so that the name stands from the moment Run returns.
    pthread_setname_np(thread->handle, kThreadName);
#endif
#else
    thread->handle = std::thread([this] { Loop(); });
#endif
    m_thread = std::move(thread);
    m_hasThread.store(true);
  }
  m_wake.Set();
}

void WorkerThread::Stop() {
  std::lock_guard<std::mutex> control(m_control);
  if (!m_thread) return;
  if (IsWorkerThread()) {
    assert(!"WorkerThread::Stop called on its own thread");
    return;
  }
  m_quit.store(true);
  m_wake.Set();
#if KORVANE_POSIX_THREADS
  pthread_join(m_thread->handle, nullptr);
#else
  m_thread->handle.join();
#endif
  {
    std::lock_guard<std::mutex> id(m_idMutex);
    m_threadId = std::thread::id();
  }
  m_thread.reset();
  m_hasThread.store(false);
  m_wake.Reset();
  std::lock_guard<std::mutex> job(m_jobMutex);
  m_function = nullptr;
  m_argument = nullptr;
  m_pending = false;
  m_busy.store(false, std::memory_order_release);
}

void WorkerThread::ClearBusy() { m_busy.store(false, std::memory_order_release); }

// These two must not take m_control: the worker's own function may ask while Stop holds it.
bool WorkerThread::HasThread() const { return m_hasThread.load(); }

bool WorkerThread::IsWorkerThread() const {
  std::lock_guard<std::mutex> id(m_idMutex);
  return m_threadId != std::thread::id() && m_threadId == std::this_thread::get_id();
}

void WorkerThread::Loop() {
  {
    std::lock_guard<std::mutex> id(m_idMutex);
    m_threadId = std::this_thread::get_id();
  }
  LowerCurrentThreadPriority();
  for (;;) {
    m_wake.Wait();
    if (m_quit.load()) return;
    Function function;
    void* argument = nullptr;
    {
      std::lock_guard<std::mutex> job(m_jobMutex);
      if (!m_pending) continue;  // a wake left over from a Run that was already taken up
      function = m_function;
      argument = m_argument;
      m_pending = false;
      m_busy.store(true, std::memory_order_release);
    }
    if (function) function(argument);
    std::lock_guard<std::mutex> job(m_jobMutex);
    // A Run that came in while the function ran has already marked the worker busy again.
    if (!m_pending) m_busy.store(false, std::memory_order_release);
  }
}
