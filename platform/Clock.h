// The wall clock and the time zone, read together so that a reading is one
// consistent moment. The POSIX implementation lives in Clock-posix.cpp.
#pragma once

#include <cstdint>
#include <string>

namespace vexmoor {

// The local date and time at one moment, with the zone's offset from UTC in
// force then. The fields mirror the platform's local-time record.
struct TLocalClock {
  int Year = 1899;
  int Month = 12;  // 1..12
  int Day = 30;    // 1..31
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int Millisecond = 0;
  // Minutes to add to the local time to get UTC (west of Greenwich is
  // positive): the zone's standard bias plus, while daylight-saving time is
  // in force, its daylight bias. Berlin in winter -60, in summer -120.
  int32_t BiasMinutes = 0;
};

// The current local time and bias.
TLocalClock ReadLocalClock();

// The local time and bias at `unixMilliseconds` after 1 January 1970 UTC in
// the process's time zone.
TLocalClock LocalClockAt(int64_t unixMilliseconds);

// Sets the process's time zone from a rule in the platform's notation (POSIX:
// a TZ value such as "CET-1CEST,M3.5.0,M10.5.0/3"); an empty rule restores the
// system's zone. For tests and tools that must not depend on the machine.
void SetProcessTimeZone(const std::string& rule);

}  // namespace vexmoor
