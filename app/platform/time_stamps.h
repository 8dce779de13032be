// Time stamps for measuring searches: 100-ns units since 1601-01-01 00:00 UTC; and a cheaper
// tick clock for timing each of many short intervals.
// Covered by tests/time_stamps_test.cpp.
#pragma once

#include <chrono>
#include <cstdint>

// A start point pairs one reading of the system clock with one reading of the steady clock.
// A stamp is the start's wall-clock value plus the steady time since the start, rounded to the
// nearest 100 ns, so stamps never run backwards when the system clock is adjusted, and
// differences between them are exact elapsed times.
//
// Immutable after construction; safe to use from any thread.
class CTimeStamps {
 public:
  // 100-ns units per second.
  static constexpr std::int64_t kUnitsPerSecond = 10000000;
  // 100-ns units from 1601-01-01 to 1970-01-01.
  static constexpr std::int64_t kUnixEpochOffset = INT64_C(116444736000000000);

  // Takes the start point now.
  CTimeStamps();

  // The process-wide start point, taken on first use.
  static const CTimeStamps& Process();

  // Wall clock at the start point.
  std::int64_t Start() const { return m_startWallClock; }
  // A stamp for now.
  std::int64_t Now() const;
  // Seconds from the start point to the stamp.
  double SecondsSinceStart(std::int64_t stamp) const { return ElapsedSeconds(m_startWallClock, stamp); }

  // Seconds between two stamps (negative when to lies before from).
  static double ElapsedSeconds(std::int64_t from, std::int64_t to) { return double(to - from) * 1e-7; }
  // The system clock now, in the same units (not monotonic).
  static std::int64_t WallClockNow();

 private:
  std::int64_t m_startWallClock;
  std::chrono::steady_clock::time_point m_startSteady;
};

// A clock cheap enough to read once per result of a search that finds hundreds of thousands
// (a steady-clock reading costs about as much as finding a short match): the processor's
// time-stamp counter where it runs at one constant rate on every core (x86-64 with an invariant
// counter), else the steady clock's nanoseconds. Ticks become seconds at the rate measured
// against the steady clock from the first use of the clock to the call of SecondsPerTick, so the
// rate is as accurate as the steady clock over that stretch; the first call waits until the
// stretch is 5 ms long.
//
// Safe to use from any thread; ticks read on different threads compare.
class CTickClock {
 public:
  static std::uint64_t Now();
  // Seconds per tick; read it once for a run of intervals, not per interval.
  static double SecondsPerTick();
  // Whether the ticks are the processor's counter (false: steady-clock nanoseconds).
  static bool CountsProcessorTicks();
};
