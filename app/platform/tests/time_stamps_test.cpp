// Tests of CTimeStamps: the 1601 epoch and 100-ns units, monotonic stamps, elapsed seconds.
#include <gtest/gtest.h>

#include <QDateTime>
#include <chrono>
#include <thread>

#include "platform/time_stamps.h"

namespace {

constexpr std::int64_t kSecond = CTimeStamps::kUnitsPerSecond;

TEST(TimeStamps, WallClockCountsHundredNanosecondsSince1601) {
  // Qt's own clock in milliseconds since 1970, converted by hand. The two readings are taken
  // one after the other, so they agree to well within a minute unless units or epoch are wrong.
  const std::int64_t qt = QDateTime::currentMSecsSinceEpoch() * 10000 + CTimeStamps::kUnixEpochOffset;
  const std::int64_t ours = CTimeStamps::WallClockNow();
  EXPECT_LT(std::llabs(ours - qt), 60 * kSecond);
  // 1970-01-01 is day 134774 after 1601-01-01.
  EXPECT_EQ(INT64_C(134774) * 86400 * kSecond, CTimeStamps::kUnixEpochOffset);
}

TEST(TimeStamps, StartIsTheWallClockAtConstruction) {
  const std::int64_t before = CTimeStamps::WallClockNow();
  const CTimeStamps stamps;
  EXPECT_LT(std::llabs(stamps.Start() - before), 60 * kSecond);
  EXPECT_GE(stamps.Now(), stamps.Start());
}

TEST(TimeStamps, StampsNeverRunBackwards) {
  const CTimeStamps stamps;
  std::int64_t last = stamps.Now();
  for (int i = 0; i < 100000; ++i) {
    const std::int64_t now = stamps.Now();
    ASSERT_GE(now, last) << i;
    last = now;
  }
}

TEST(TimeStamps, ElapsedTimeIsAtLeastTheTimeSlept) {
  const CTimeStamps stamps;
  const std::int64_t a = stamps.Now();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const std::int64_t b = stamps.Now();
  // Rounding to 100 ns may cost one unit at each end.
  EXPECT_GE(CTimeStamps::ElapsedSeconds(a, b), 0.020 - 2e-7);
  EXPECT_GE(stamps.SecondsSinceStart(b), CTimeStamps::ElapsedSeconds(a, b));
}

struct ElapsedCase {
  std::int64_t from, to;
  double seconds;
};

TEST(TimeStamps, ElapsedSecondsTable) {
  const ElapsedCase cases[] = {
      {0, 0, 0.0},
      {0, kSecond, 1.0},
      {kSecond, 0, -1.0},
      {0, 1, 1e-7},
      {CTimeStamps::kUnixEpochOffset, CTimeStamps::kUnixEpochOffset + 15 * kSecond / 10, 1.5},
  };
  for (const auto& c : cases)
    EXPECT_DOUBLE_EQ(c.seconds, CTimeStamps::ElapsedSeconds(c.from, c.to)) << c.from << " " << c.to;
}

TEST(TimeStamps, ProcessStartIsOneObject) {
  EXPECT_EQ(&CTimeStamps::Process(), &CTimeStamps::Process());
  EXPECT_LE(CTimeStamps::Process().Start(), CTimeStamps::Process().Now());
}

}  // namespace

// The tick clock against a sleep: the sleep lasts at least what was asked, so the ticks, turned
// into seconds at the measured rate, must say at least that (less a small margin for the rate's
// error), and never run backwards.
TEST(TickClock, TicksTurnIntoTheSecondsThatPassed) {
  const double perTick = CTickClock::SecondsPerTick();
  ASSERT_GT(perTick, 0.0);
  if (!CTickClock::CountsProcessorTicks()) EXPECT_EQ(1e-9, perTick);
  const std::uint64_t a = CTickClock::Now();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const std::uint64_t b = CTickClock::Now();
  ASSERT_GE(b, a);
  const double seconds = static_cast<double>(b - a) * CTickClock::SecondsPerTick();
  EXPECT_GE(seconds, 0.049);
  EXPECT_LT(seconds, 30.0);
}
