#include "platform/Clock.h"

#include <cstdlib>
#include <ctime>

#include "platform/Errors.h"

namespace vexmoor {

TLocalClock ReadLocalClock() {
  timespec now{};
  if (::clock_gettime(CLOCK_REALTIME, &now) != 0) throw Error("Cannot read the system clock");
  return LocalClockAt(static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000);
}

TLocalClock LocalClockAt(int64_t unixMilliseconds) {
  int64_t seconds = unixMilliseconds / 1000;
  int64_t millis = unixMilliseconds % 1000;
  if (millis < 0) {
    millis += 1000;
    --seconds;
  }
  const auto when = static_cast<time_t>(seconds);
  tm local{};
  if (::localtime_r(&when, &local) == nullptr) throw Error("Cannot read the local time");
  TLocalClock clock;
  clock.Year = local.tm_year + 1900;
  clock.Month = local.tm_mon + 1;
  clock.Day = local.tm_mday;
  clock.Hour = local.tm_hour;
  clock.Minute = local.tm_min;
  clock.Second = local.tm_sec;
  clock.Millisecond = static_cast<int>(millis);
  // tm_gmtoff is seconds east of UTC, daylight saving included.
  clock.BiasMinutes = static_cast<int32_t>(-local.tm_gmtoff / 60);
  return clock;
}

void SetProcessTimeZone(const std::string& rule) {
  if (rule.empty()) {
    ::unsetenv("TZ");
  } else {
    ::setenv("TZ", rule.c_str(), 1);
  }
  ::tzset();
}

}  // namespace vexmoor
