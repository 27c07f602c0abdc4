// What the update window and `vexmoor update` show: versions, dates, and the
// byte counters of the downloads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vexmoor {

// A list Version (version x 10000) as a version: up to four decimals, no
// trailing zeros, '.' as the separator: 6430 gives "0.643", 10000 "1", 0 "0",
// -5 "-0.0005".
std::string UpdateVersionText(int32_t version);

// A date value split into its calendar parts.
struct TDateTimeParts {
  int Year = 0, Month = 0, Day = 0;
  int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

// The calendar date and time of a day count since 30 December 1899 (the
// fraction is the time of day, counted forwards from midnight also before
// that day), rounded to the millisecond. nullopt outside 1 January 0001 to
// 31 December 9999 or for a value that is not finite.
std::optional<TDateTimeParts> DecodeDateTime(double value);

// True when the parts name exactly midnight: the list then shows the date
// alone.
bool IsMidnight(const TDateTimeParts& parts);

// "YYYY-MM-DD HH:MM:SS", or "YYYY-MM-DD" when the time is exactly midnight;
// a value outside the calendar's range is shown as the number.
std::string UpdateDateTimeText(double value);

// A time pattern of the user's locale ("h:mm:ss AP t") without its time
// zone: every unquoted run of 't' is dropped with the blanks before it, as
// the list's times are GMT whatever the user's zone is. Quoted text ('...',
// '' for a quote) is kept as it is; blanks at either end are trimmed.
std::string TimePatternWithoutZone(std::string_view pattern);

// The download byte counters: Current counts the item being downloaded and
// starts at 0 for each; Total counts every download since the program
// started and is never reset.
struct TByteCounters {
  int64_t Current = 0;
  int64_t Total = 0;

  void StartItem() { Current = 0; }
  void Add(int64_t bytes) {
    Current += bytes;
    Total += bytes;
  }
};

// The process's counters, which every update run of the process adds to.
TByteCounters& ProcessByteCounters();

// "Current : %f KB" and "Total : %f KB", the counter divided by 1024 with two
// decimals: 1536 bytes give "Current : 1.50 KB".
std::string CurrentBytesText(const TByteCounters& counters);
std::string TotalBytesText(const TByteCounters& counters);

}  // namespace vexmoor
