#include "encoder/EncodeTime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace vexmoor {
namespace {

TLocalClock At(int year, int month, int day, int hour, int minute, int bias) {
  TLocalClock clock;
  clock.Year = year;
  clock.Month = month;
  clock.Day = day;
  clock.Hour = hour;
  clock.Minute = minute;
  clock.BiasMinutes = bias;
  return clock;
}

// Day counts of known dates: the epoch, 1900 (not a leap year), 2000 (one).
TEST(EncodeTime, DateTimeValueCountsDaysFromTheEpoch) {
  EXPECT_EQ(DateTimeValue(At(1899, 12, 30, 0, 0, 0)), 0.0);
  EXPECT_EQ(DateTimeValue(At(1900, 1, 1, 12, 0, 0)), 2.5);
  EXPECT_EQ(DateTimeValue(At(1900, 3, 1, 0, 0, 0)), 61.0);
  EXPECT_EQ(DateTimeValue(At(2000, 3, 1, 0, 0, 0)), 36586.0);
  EXPECT_EQ(DateTimeValue(At(2026, 12, 7, 6, 0, 0)), 46363.25);
  TLocalClock withSeconds = At(2005, 8, 15, 12, 49, 0);
  withSeconds.Second = 42;
  withSeconds.Millisecond = 500;
  EXPECT_DOUBLE_EQ(DateTimeValue(withSeconds), 38579.0 + (12 * 3600 + 49 * 60 + 42.5) / 86400.0);
}

// The same moment read in winter and in summer time, and in a zone west of
// Greenwich, gives one UTC value.
TEST(EncodeTime, SummerAndWinterReadingsOfOneZoneGiveUtc) {
  // 12:00 UTC on 15 January and 15 July 2026 in Berlin.
  EXPECT_DOUBLE_EQ(EncodeTime(At(2026, 1, 15, 13, 0, -60)),
                   DateTimeValue(At(2026, 1, 15, 12, 0, 0)));
  EXPECT_DOUBLE_EQ(EncodeTime(At(2026, 7, 15, 14, 0, -120)),
                   DateTimeValue(At(2026, 7, 15, 12, 0, 0)));
  // 23:30 in New York in winter is 04:30 UTC the next day.
  EXPECT_DOUBLE_EQ(EncodeTime(At(2026, 1, 15, 23, 30, 300)),
                   DateTimeValue(At(2026, 1, 16, 4, 30, 0)));
}

// The platform's reading of fixed instants in a zone with daylight saving:
// T must equal the instant's UTC day count in both seasons, and around the
// switch, where local times repeat.
TEST(EncodeTime, PlatformClockGivesUtcInBothSeasons) {
  const char* previous = std::getenv("TZ");
  const std::string restore = previous != nullptr ? previous : "";
  SetProcessTimeZone("CET-1CEST,M3.5.0,M10.5.0/3");
  constexpr double kUnixEpochDays = 25569.0;
  const int64_t instants[] = {
      1768478400000,  // 2026-01-15 12:00:00 UTC, winter
      1784116800000,  // 2026-07-15 12:00:00 UTC, summer
      1792886400000,  // 2026-10-25 00:00:00 UTC, 02:00 summer time
      1792890000000,  // 2026-10-25 01:00:00 UTC, 02:00 winter time
      1784116800250,  // with milliseconds
  };
  for (int64_t instant : instants) {
    const TLocalClock clock = LocalClockAt(instant);
    EXPECT_NEAR(EncodeTime(clock), kUnixEpochDays + static_cast<double>(instant) / 86400000.0, 1e-9)
        << instant;
  }
  EXPECT_EQ(LocalClockAt(instants[0]).BiasMinutes, -60);
  EXPECT_EQ(LocalClockAt(instants[1]).BiasMinutes, -120);
  EXPECT_EQ(LocalClockAt(instants[1]).Hour, 14);
  EXPECT_EQ(LocalClockAt(instants[2]).Hour, 2);
  EXPECT_EQ(LocalClockAt(instants[3]).Hour, 2);
  SetProcessTimeZone(restore);
}

TEST(EncodeTime, TextHasFifteenSignificantDigitsAndNoTrailingZeros) {
  EXPECT_EQ(TimeStampText(38580.53454861111), "38580.5345486111");
  EXPECT_EQ(TimeStampText(46000.0), "46000");
  EXPECT_EQ(TimeStampText(46000.25), "46000.25");
  EXPECT_EQ(TimeStampText(0.0), "0");
  EXPECT_EQ(TimeStampText(46363.123456789012345), "46363.123456789");
}

}  // namespace
}  // namespace vexmoor
