// The encode time T: the moment of an encoding run in UTC, as a day count
// since 30 December 1899 (the fraction is the time of day), and its text form
// in dat headers and the update keys file.
#pragma once

#include <functional>
#include <string>

#include "platform/Clock.h"

namespace vexmoor {

// Where a run reads the clock; tests inject fixed readings.
using TClockSource = std::function<TLocalClock()>;

// The day count of a calendar date and time of day, without any zone
// arithmetic: 30 December 1899 00:00 gives 0, 1 January 1900 12:00 gives 2.5.
double DateTimeValue(const TLocalClock& clock);

// T for one clock reading: (local time x 1440 + bias) / 1440, which is UTC
// whether or not daylight saving is in force.
double EncodeTime(const TLocalClock& clock);

// T as text in the general number format: at most 15 significant digits,
// trailing zeros dropped, '.' as the decimal separator whatever the locale,
// no thousands separators ("38580.5345486111", "46000").
std::string TimeStampText(double value);

}  // namespace vexmoor
