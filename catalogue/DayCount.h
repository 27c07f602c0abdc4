// Day counts: a calendar date and time of day as days since 30 December
// 1899 (the fraction is the time of day), and their text form in dat
// headers and the update lists.
#pragma once

#include <string>

#include "platform/Clock.h"

namespace vexmoor {

// The day count of a calendar date and time of day, without any zone
// arithmetic: 30 December 1899 00:00 gives 0, 1 January 1900 12:00 gives 2.5.
double DateTimeValue(const TLocalClock& clock);

// A day count as text in the general number format: at most 15 significant
// digits, trailing zeros dropped, '.' as the decimal separator whatever the
// locale, no thousands separators ("38580.5345486111", "46000").
std::string TimeStampText(double value);

}  // namespace vexmoor
