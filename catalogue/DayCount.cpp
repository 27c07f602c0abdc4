#include "catalogue/DayCount.h"

#include <charconv>
#include <cstdint>

namespace vexmoor {

namespace {

// Days from 1 January of year 1 of the proleptic Gregorian calendar to the
// given date, the first day being day 1.
int64_t DayNumber(int64_t year, int month, int day) {
  static constexpr int kDaysBeforeMonth[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int64_t y = year - 1;
  int64_t days = y * 365 + y / 4 - y / 100 + y / 400;
  days += kDaysBeforeMonth[(month - 1) % 12] + day;
  if (leap && month > 2) ++days;
  return days;
}

constexpr int64_t kDayNumberOfEpoch = 693594;  // DayNumber(1899, 12, 30)
constexpr double kMillisecondsPerDay = 86400000.0;

}  // namespace

double DateTimeValue(const TLocalClock& clock) {
  const int month = clock.Month >= 1 && clock.Month <= 12 ? clock.Month : 1;
  const auto days =
      static_cast<double>(DayNumber(clock.Year, month, clock.Day) - kDayNumberOfEpoch);
  const double milliseconds =
      ((clock.Hour * 60.0 + clock.Minute) * 60.0 + clock.Second) * 1000.0 + clock.Millisecond;
  // Before the epoch the fraction still counts forwards from midnight.
  return days >= 0 ? days + milliseconds / kMillisecondsPerDay
                   : days - milliseconds / kMillisecondsPerDay;
}

std::string TimeStampText(double value) {
  char text[64];
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15);
  return std::string(text, result.ptr);
}

}  // namespace vexmoor
