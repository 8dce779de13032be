// WorkerThread on QThread (stack size and priority are portable there), with a Linux-specific
// priority step. Covered by tests/worker_thread_test.cpp.
#include "platform/worker_thread.h"

#include <QThread>
#include <cassert>

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
    m_thread.reset(QThread::create([this] { Loop(); }));
    m_threadId.store(m_thread.get());
    m_thread->setStackSize(static_cast<uint>(kStackSize));
    // Below normal where the platform's scheduler honours it (Windows, some Unix systems).
    m_thread->start(QThread::LowPriority);
  }
  m_wake.Set();
}

void WorkerThread::Stop() {
  std::lock_guard<std::mutex> control(m_control);
  if (!m_thread) return;
  if (QThread::currentThread() == m_thread.get()) {
    assert(!"WorkerThread::Stop called on its own thread");
    return;
  }
  m_quit.store(true);
  m_wake.Set();
  m_thread->wait();
  m_threadId.store(nullptr);
  m_thread.reset();
  m_wake.Reset();
  std::lock_guard<std::mutex> job(m_jobMutex);
  m_function = nullptr;
  m_argument = nullptr;
  m_pending = false;
  m_busy.store(false, std::memory_order_release);
}

void WorkerThread::ClearBusy() { m_busy.store(false, std::memory_order_release); }

// These two must not take m_control: the worker's own function may ask while Stop holds it.
bool WorkerThread::HasThread() const { return m_threadId.load() != nullptr; }

bool WorkerThread::IsWorkerThread() const {
  QThread* thread = m_threadId.load();
  return thread && QThread::currentThread() == thread;
}

void WorkerThread::Loop() {
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
