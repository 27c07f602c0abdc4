// The encode time T: the moment of an encoding run in UTC, as a day count
// since 30 December 1899 (catalogue/DayCount; its text form, TimeStampText,
// goes into dat headers and the update keys file).
#pragma once

#include <functional>
#include <string>

#include "catalogue/DayCount.h"
#include "platform/Clock.h"

namespace vexmoor {

// Where a run reads the clock; tests inject fixed readings.
using TClockSource = std::function<TLocalClock()>;

// T for one clock reading: (local time x 1440 + bias) / 1440, which is UTC
// whether or not daylight saving is in force.
double EncodeTime(const TLocalClock& clock);

}  // namespace vexmoor
