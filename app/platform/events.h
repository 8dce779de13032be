// Manual-reset and auto-reset events, and a wait for the first of several events.
// The document's worker hand-overs (done, paused, resume, background done) are built on these.
// Covered by tests/events_test.cpp.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <initializer_list>
#include <mutex>
#include <vector>

// An event is either set or clear. A manual-reset event stays set until Reset(); every waiter
// returns while it is set. An auto-reset event releases exactly one waiter per Set() and clears
// itself as that waiter returns; a Set() with no waiter stays pending for the next one.
//
// All member functions are safe to call from any thread. An event must outlive every wait on it.
class CEvent {
 public:
  enum class Mode { Manual, Auto };
  // Time-out value meaning "no limit".
  static constexpr int kInfinite = -1;
  // Result of WaitAny when the time ran out.
  static constexpr int kTimedOut = -1;

  explicit CEvent(Mode mode, bool initiallySet = false);
  ~CEvent();
  CEvent(const CEvent&) = delete;
  CEvent& operator=(const CEvent&) = delete;

  void Set();
  void Reset();
  // Waits without limit.
  void Wait();
  // Waits up to timeoutMs milliseconds (kInfinite or any negative value: no limit; 0: only
  // test). Returns whether the event was signalled; an auto-reset event is then consumed.
  bool Wait(int timeoutMs);
  // Snapshot of the state; never consumes an auto-reset event.
  bool IsSet() const;
  bool IsManualReset() const { return m_manual; }

  // Waits until one of the events is signalled and returns its index, or kTimedOut. When
  // several are signalled the lowest index wins; only the returned event is consumed (if it is
  // an auto-reset event). Null entries are ignored. An empty list returns kTimedOut at once.
  static int WaitAny(const CEvent* const* events, std::size_t count, int timeoutMs);
  static int WaitAny(std::initializer_list<CEvent*> events, int timeoutMs);

 private:
  struct Waiter;
  // Called with m_mutex held: true when signalled (and then consumed if auto-reset).
  bool TryConsumeLocked();

  mutable std::mutex m_mutex;
  std::condition_variable m_changed;  // single-event waiters
  bool m_signalled;                   // guarded by m_mutex
  const bool m_manual;
  // WaitAny callers currently registered with this event; guarded by m_mutex. A waiter is
  // removed before its WaitAny returns, so these pointers never dangle.
  std::vector<Waiter*> m_waiters;
};

class CManualResetEvent : public CEvent {
 public:
  explicit CManualResetEvent(bool initiallySet = false) : CEvent(Mode::Manual, initiallySet) {}
};

class CAutoResetEvent : public CEvent {
 public:
  explicit CAutoResetEvent(bool initiallySet = false) : CEvent(Mode::Auto, initiallySet) {}
};
