// Covered by tests/time_stamps_test.cpp.
#include "platform/time_stamps.h"

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
