// Covered by tests/time_stamps_test.cpp.
#include "platform/time_stamps.h"

#include <thread>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#include <x86intrin.h>
#define KORVANE_HAS_TSC 1
#endif

namespace {

using Units = std::chrono::duration<std::int64_t, std::ratio<1, CTimeStamps::kUnitsPerSecond>>;

}  // namespace

CTimeStamps::CTimeStamps()
    : m_startWallClock(WallClockNow()), m_startSteady(std::chrono::steady_clock::now()) {}

const CTimeStamps& CTimeStamps::Process() {
  static const CTimeStamps start;
  return start;
}

std::int64_t CTimeStamps::Now() const {
  const auto since = std::chrono::steady_clock::now() - m_startSteady;
  return m_startWallClock + std::chrono::round<Units>(since).count();
}

std::int64_t CTimeStamps::WallClockNow() {
  // The system clock counts from 1970-01-01 UTC on every platform this program builds for.
  const auto sinceUnixEpoch = std::chrono::system_clock::now().time_since_epoch();
  return kUnixEpochOffset + std::chrono::round<Units>(sinceUnixEpoch).count();
}

namespace {

std::uint64_t SteadyNanoseconds() {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count());
}

bool InvariantCounter() {
#ifdef KORVANE_HAS_TSC
  unsigned a = 0, b = 0, c = 0, d = 0;
  // Leaf 0x80000007, EDX bit 8: the counter runs at a constant rate in every power state.
  return __get_cpuid(0x80000007, &a, &b, &c, &d) && (d & (1u << 8)) != 0;
#else
  return false;
#endif
}

// The pair of readings the rate is measured from, taken on first use.
struct TickBase {
  bool processor = InvariantCounter();
  std::uint64_t steadyNs = SteadyNanoseconds();
  std::uint64_t ticks = CTickClock::Now();
};

const TickBase& Base() {
  static const TickBase base;
  return base;
}

}  // namespace

bool CTickClock::CountsProcessorTicks() { return Base().processor; }

std::uint64_t CTickClock::Now() {
#ifdef KORVANE_HAS_TSC
  static const bool processor = InvariantCounter();
  if (processor) return __rdtsc();
#endif
  return SteadyNanoseconds();
}

double CTickClock::SecondsPerTick() {
  const TickBase& base = Base();
  if (!base.processor) return 1e-9;
  constexpr std::uint64_t kStretchNs = 5000000;
  std::uint64_t steady = SteadyNanoseconds();
  if (steady - base.steadyNs < kStretchNs) {
    std::this_thread::sleep_for(std::chrono::nanoseconds(kStretchNs - (steady - base.steadyNs)));
    steady = SteadyNanoseconds();
  }
  const std::uint64_t ticks = Now();
  if (ticks <= base.ticks) return 1e-9;  // a counter that did not advance: no rate to tell
  return static_cast<double>(steady - base.steadyNs) * 1e-9 / static_cast<double>(ticks - base.ticks);
}
