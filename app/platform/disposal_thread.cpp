// DisposalThread: see disposal_thread.h.
#include "platform/disposal_thread.h"

#include <memory>
#include <utility>

DisposalThread::~DisposalThread() {
  if (!m_thread.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_quit = true;
  }
  m_wake.notify_one();
  m_thread.join();
}

void DisposalThread::Post(std::function<void()> job) {
  if (!job) return;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_jobs.push_back(std::move(job));
  }
  if (!m_thread.joinable()) m_thread = std::thread([this] { Loop(); });
  m_wake.notify_one();
}

void DisposalThread::WaitIdle() {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_idle.wait(lock, [this] { return m_jobs.empty() && !m_running; });
}

void DisposalThread::Loop() {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_wake.wait(lock, [this] { return m_quit || !m_jobs.empty(); });
    // The queue is drained before quitting: what was handed over is always freed.
    if (m_jobs.empty()) return;
    std::function<void()> job = std::move(m_jobs.front());
    m_jobs.pop_front();
    m_running = true;
    lock.unlock();
    job();
    job = nullptr;  // what the job captured is freed here, on this thread
    lock.lock();
    m_running = false;
    if (m_jobs.empty()) m_idle.notify_all();
  }
}
