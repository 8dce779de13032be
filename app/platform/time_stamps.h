// Time stamps for measuring searches: 100-ns units since 1601-01-01 00:00 UTC.
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
