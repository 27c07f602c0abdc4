#include "updater/UpdateTexts.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "catalogue/DayCount.h"

namespace vexmoor {

namespace {

constexpr int64_t kMillisecondsPerDay = 86400000;
// 1 January 0001 and 31 December 9999 as day counts.
constexpr double kFirstDay = -693593;
constexpr double kLastDay = 2958465;

// The civil date of a count of days since 1 March of year 0 shifted to the
// Unix epoch (Howard Hinnant's days-to-civil algorithm).
TDateTimeParts CivilDate(int64_t daysSinceUnixEpoch) {
  const int64_t z = daysSinceUnixEpoch + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  TDateTimeParts parts;
  parts.Day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  parts.Month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  parts.Year = static_cast<int>(yoe + era * 400 + (parts.Month <= 2 ? 1 : 0));
  return parts;
}

std::string KiloBytes(const char* label, int64_t bytes) {
  char text[64];
  std::snprintf(text, sizeof text, "%s : %.2f KB", label, static_cast<double>(bytes) / 1024.0);
  return text;
}

}  // namespace

std::string UpdateVersionText(int32_t version) {
  const int64_t magnitude = std::llabs(static_cast<int64_t>(version));
  std::string text = (version < 0 ? "-" : "") + std::to_string(magnitude / 10000);
  char fraction[8];
  std::snprintf(fraction, sizeof fraction, "%04d", static_cast<int>(magnitude % 10000));
  std::string decimals = fraction;
  while (!decimals.empty() && decimals.back() == '0') decimals.pop_back();
  if (!decimals.empty()) text += "." + decimals;
  return text;
}

std::optional<TDateTimeParts> DecodeDateTime(double value) {
  if (!std::isfinite(value) || value < kFirstDay || value >= kLastDay + 1) return std::nullopt;
  double days = std::trunc(value);
  auto milliseconds =
      static_cast<int64_t>(std::llround(std::fabs(value - days) * kMillisecondsPerDay));
  if (milliseconds >= kMillisecondsPerDay) {  // rounded up into the next day
    milliseconds -= kMillisecondsPerDay;
    days += value < 0 ? -1 : 1;
  }
  // 30 December 1899 is 25569 days before 1 January 1970.
  TDateTimeParts parts = CivilDate(static_cast<int64_t>(days) - 25569);
  parts.Hour = static_cast<int>(milliseconds / 3600000);
  parts.Minute = static_cast<int>(milliseconds / 60000 % 60);
  parts.Second = static_cast<int>(milliseconds / 1000 % 60);
  parts.Millisecond = static_cast<int>(milliseconds % 1000);
  return parts;
}

bool IsMidnight(const TDateTimeParts& parts) {
  return parts.Hour == 0 && parts.Minute == 0 && parts.Second == 0 && parts.Millisecond == 0;
}

std::string UpdateDateTimeText(double value) {
  const std::optional<TDateTimeParts> parts = DecodeDateTime(value);
  if (!parts) return TimeStampText(value);
  char text[48];
  if (IsMidnight(*parts)) {
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", parts->Year, parts->Month, parts->Day);
  } else {
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", parts->Year, parts->Month,
                  parts->Day, parts->Hour, parts->Minute, parts->Second);
  }
  return text;
}

std::string TimePatternWithoutZone(std::string_view pattern) {
  std::string result;
  bool quoted = false;
  for (const char c : pattern) {
    if (c == '\'') quoted = !quoted;
    if (quoted || c == '\'' || c != 't') {
      result += c;
    } else {
      while (!result.empty() && result.back() == ' ') result.pop_back();
    }
  }
  const size_t first = result.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return result.substr(first, result.find_last_not_of(' ') - first + 1);
}

TByteCounters& ProcessByteCounters() {
  static TByteCounters counters;
  return counters;
}

std::string CurrentBytesText(const TByteCounters& counters) {
  return KiloBytes("Current", counters.Current);
}

std::string TotalBytesText(const TByteCounters& counters) {
  return KiloBytes("Total", counters.Total);
}

}  // namespace vexmoor
