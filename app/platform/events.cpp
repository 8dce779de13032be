// Events over std::mutex and std::condition_variable. Covered by tests/events_test.cpp.
//
// WaitAny registers a private Waiter with every event it waits on; Set() wakes the event's own
// single-event waiters and every registered Waiter, which then re-examines all its events.
// Lock order: an event's m_mutex before a Waiter's mutex, never the reverse, and a waiter never
// holds its own mutex while it takes an event's.
#include "platform/events.h"

#include <algorithm>
#include <cassert>
#include <chrono>

struct CEvent::Waiter {
  std::mutex mutex;
  std::condition_variable wake;
  bool woken = false;  // guarded by mutex
};

namespace {

using Clock = std::chrono::steady_clock;

// Deadline for a finite time-out. An int of milliseconds spans at most about 24.8 days, far
// inside the range of the steady clock's nanosecond count, so the sum cannot overflow.
Clock::time_point DeadlineAfter(int timeoutMs) {
  return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

}  // namespace

CEvent::CEvent(Mode mode, bool initiallySet)
    : m_signalled(initiallySet), m_manual(mode == Mode::Manual) {}

CEvent::~CEvent() {
  assert(m_waiters.empty() && "event destroyed while a WaitAny is using it");
}

void CEvent::Set() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_signalled = true;
  for (Waiter* w : m_waiters) {
    std::lock_guard<std::mutex> wl(w->mutex);
    w->woken = true;
    w->wake.notify_one();
  }
  // An auto-reset event could notify one waiter only, but a notified thread that is already
  // timing out would leave the others asleep with the event set; waking all is always correct
  // because each re-checks the state under m_mutex.
  m_changed.notify_all();
}

void CEvent::Reset() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_signalled = false;
}

bool CEvent::IsSet() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_signalled;
}

bool CEvent::TryConsumeLocked() {
  if (!m_signalled) return false;
  if (!m_manual) m_signalled = false;
  return true;
}

void CEvent::Wait() { Wait(kInfinite); }

bool CEvent::Wait(int timeoutMs) {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (timeoutMs < 0) {
    m_changed.wait(lock, [this] { return m_signalled; });
  } else if (!m_changed.wait_until(lock, DeadlineAfter(timeoutMs), [this] { return m_signalled; })) {
    return false;
  }
  TryConsumeLocked();
  return true;
}

int CEvent::WaitAny(std::initializer_list<CEvent*> events, int timeoutMs) {
  std::vector<const CEvent*> list(events.begin(), events.end());
  return WaitAny(list.data(), list.size(), timeoutMs);
}

int CEvent::WaitAny(const CEvent* const* events, std::size_t count, int timeoutMs) {
  const bool infinite = timeoutMs < 0;
  const Clock::time_point deadline = infinite ? Clock::time_point() : DeadlineAfter(timeoutMs);
  Waiter waiter;
  // Registration mutates the events' waiter lists; those are bookkeeping, not the state that
  // const callers observe, hence the const_cast.
  auto event = [&](std::size_t i) { return const_cast<CEvent*>(events[i]); };
  auto unregister = [&](std::size_t upTo) {
    for (std::size_t i = 0; i < upTo; ++i) {
      CEvent* e = event(i);
      if (!e) continue;
      std::lock_guard<std::mutex> lock(e->m_mutex);
      e->m_waiters.erase(std::remove(e->m_waiters.begin(), e->m_waiters.end(), &waiter),
                         e->m_waiters.end());
    }
  };

  for (;;) {
    {
      std::lock_guard<std::mutex> wl(waiter.mutex);
      waiter.woken = false;
    }
    // Consume the first signalled event, or register with all of them. A Set() racing with
    // this pass is seen either here (under the event's lock) or through the Waiter.
    std::size_t registered = 0;
    for (; registered < count; ++registered) {
      CEvent* e = event(registered);
      if (!e) continue;
      std::lock_guard<std::mutex> lock(e->m_mutex);
      if (e->TryConsumeLocked()) {
        unregister(registered);
        return static_cast<int>(registered);
      }
      e->m_waiters.push_back(&waiter);
    }
    if (count == 0) return kTimedOut;

    bool timedOut = false;
    {
      std::unique_lock<std::mutex> wl(waiter.mutex);
      if (infinite) {
        waiter.wake.wait(wl, [&] { return waiter.woken; });
      } else {
        timedOut = !waiter.wake.wait_until(wl, deadline, [&] { return waiter.woken; });
      }
    }
    unregister(count);
    if (timedOut) {
      // A last look: an event set just as the time ran out still counts.
      for (std::size_t i = 0; i < count; ++i) {
        CEvent* e = event(i);
        if (!e) continue;
        std::lock_guard<std::mutex> lock(e->m_mutex);
        if (e->TryConsumeLocked()) return static_cast<int>(i);
      }
      return kTimedOut;
    }
    // Woken: loop to find which event fired. Another waiter may have consumed an auto-reset
    // event first; then this one waits again for the time that is left.
  }
}
