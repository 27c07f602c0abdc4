// The clock on Windows. The system's zone comes from Win32; a zone set by
// SetProcessTimeZone is a POSIX TZ rule ("CET-1CEST,M3.5.0,M10.5.0/3"),
// worked out here, since Windows has no notation of its own for a zone that
// a program may set for itself.
#include "platform/Clock.h"

#include <cctype>
#include <mutex>
#include <optional>

#include "platform/Errors.h"
#include "platform/LongPath-win32.h"

namespace vexmoor {

namespace {

constexpr int64_t kUnixEpochAsFileTime = 116444736000000000LL;  // 100 ns units

// A day of the year on which daylight saving starts or ends: the d-th day of
// the week of the w-th week (5: the last) of month m, at `Seconds` local time.
struct TRuleDay {
  int Month = 0, Week = 0, WeekDay = 0;
  int Seconds = 7200;
};

struct TZoneRule {
  int StandardBias = 0;  // seconds to add to local standard time for UTC
  bool HasDaylight = false;
  int DaylightBias = 0;
  TRuleDay Start, End;
};

std::mutex ruleMutex;
std::optional<TZoneRule> processRule;

// Reads [+-]hh[:mm[:ss]] at `at`; false when there is none.
bool ReadOffset(const std::string& text, size_t& at, int& seconds) {
  int sign = 1;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) sign = text[at++] == '-' ? -1 : 1;
  int parts[3] = {0, 0, 0};
  for (int part = 0; part < 3; ++part) {
    if (at >= text.size() || !std::isdigit(static_cast<unsigned char>(text[at]))) {
      if (part == 0) return false;
      break;
    }
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])))
      parts[part] = parts[part] * 10 + (text[at++] - '0');
    if (part < 2 && at < text.size() && text[at] == ':') ++at;
    else break;
  }
  seconds = sign * (parts[0] * 3600 + parts[1] * 60 + parts[2]);
  return true;
}

void SkipName(const std::string& text, size_t& at) {
  if (at < text.size() && text[at] == '<') {
    at = text.find('>', at);
    at = at == std::string::npos ? text.size() : at + 1;
    return;
  }
  while (at < text.size() && std::isalpha(static_cast<unsigned char>(text[at]))) ++at;
}

bool ReadNumber(const std::string& text, size_t& at, int& value) {
  if (at >= text.size() || !std::isdigit(static_cast<unsigned char>(text[at]))) return false;
  value = 0;
  while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])))
    value = value * 10 + (text[at++] - '0');
  return true;
}

bool ReadRuleDay(const std::string& text, size_t& at, TRuleDay& day) {
  if (at >= text.size() || text[at] != 'M') return false;
  ++at;
  if (!ReadNumber(text, at, day.Month) || at >= text.size() || text[at++] != '.') return false;
  if (!ReadNumber(text, at, day.Week) || at >= text.size() || text[at++] != '.') return false;
  if (!ReadNumber(text, at, day.WeekDay)) return false;
  if (at < text.size() && text[at] == '/') {
    ++at;
    if (!ReadOffset(text, at, day.Seconds)) return false;
  }
  return day.Month >= 1 && day.Month <= 12 && day.Week >= 1 && day.Week <= 5 && day.WeekDay <= 6;
}

std::optional<TZoneRule> ParseRule(const std::string& text) {
  TZoneRule rule;
  size_t at = 0;
  SkipName(text, at);
  if (!ReadOffset(text, at, rule.StandardBias)) return std::nullopt;
  if (at == text.size()) return rule;
  SkipName(text, at);
  rule.HasDaylight = true;
  rule.DaylightBias = rule.StandardBias - 3600;
  if (at < text.size() && text[at] != ',') ReadOffset(text, at, rule.DaylightBias);
  if (at < text.size() && text[at] == ',') {
    ++at;
    if (!ReadRuleDay(text, at, rule.Start) || at >= text.size() || text[at++] != ',' ||
        !ReadRuleDay(text, at, rule.End))
      return std::nullopt;
  } else {
    rule.Start = {3, 2, 0, 7200};  // the US rule, as the C library assumes
    rule.End = {11, 1, 0, 7200};
  }
  return rule;
}

int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t days, int& year, int& month, int& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t shifted = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * shifted + 2) / 5 + 1);
  month = static_cast<int>(shifted < 10 ? shifted + 3 : shifted - 9);
  year = static_cast<int>(yearOfEra + era * 400 + (month <= 2));
}

// Seconds since 1970 (as if local time were UTC) at which `day` begins its
// change in `year`.
int64_t RuleMoment(const TRuleDay& day, int year) {
  const int64_t first = DaysFromCivil(year, day.Month, 1);
  const int firstWeekDay = static_cast<int>(((first % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  int64_t date = first + (day.WeekDay - firstWeekDay + 7) % 7 + (day.Week - 1) * 7;
  const int nextMonth = day.Month == 12 ? 1 : day.Month + 1;
  const int64_t monthEnd = DaysFromCivil(day.Month == 12 ? year + 1 : year, nextMonth, 1);
  while (date >= monthEnd) date -= 7;
  return date * 86400 + day.Seconds;
}

// The bias in seconds in force at `utcSeconds` under `rule`.
int BiasAt(const TZoneRule& rule, int64_t utcSeconds) {
  if (!rule.HasDaylight) return rule.StandardBias;
  int year, month, day;
  CivilFromDays((utcSeconds - rule.StandardBias) / 86400, year, month, day);
  // Start is given in standard time, end in daylight time; both as UTC here.
  const int64_t start = RuleMoment(rule.Start, year) + rule.StandardBias;
  const int64_t end = RuleMoment(rule.End, year) + rule.DaylightBias;
  const bool daylight = start < end ? (utcSeconds >= start && utcSeconds < end)
                                    : (utcSeconds >= start || utcSeconds < end);
  return daylight ? rule.DaylightBias : rule.StandardBias;
}

int64_t FloorDivide(int64_t value, int64_t by) {
  return value / by - ((value % by != 0) && ((value < 0) != (by < 0)));
}

}  // namespace

TLocalClock ReadLocalClock() {
  FILETIME now{};
  ::GetSystemTimePreciseAsFileTime(&now);
  const int64_t ticks = (static_cast<int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return LocalClockAt((ticks - kUnixEpochAsFileTime) / 10000);
}

TLocalClock LocalClockAt(int64_t unixMilliseconds) {
  const int64_t seconds = FloorDivide(unixMilliseconds, 1000);
  const int millis = static_cast<int>(unixMilliseconds - seconds * 1000);
  int biasSeconds = 0;
  std::optional<TZoneRule> rule;
  {
    const std::lock_guard lock(ruleMutex);
    rule = processRule;
  }
  if (rule) {
    biasSeconds = BiasAt(*rule, seconds);
  } else {
    const int64_t ticks = seconds * 10000000 + kUnixEpochAsFileTime;
    FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32)};
    SYSTEMTIME utcTime{}, localTime{};
    if (!::FileTimeToSystemTime(&utc, &utcTime) ||
        !::SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &localTime))
      throw Error("Cannot read the local time");
    FILETIME local{};
    if (!::SystemTimeToFileTime(&localTime, &local)) throw Error("Cannot read the local time");
    const int64_t localTicks = (static_cast<int64_t>(local.dwHighDateTime) << 32) | local.dwLowDateTime;
    biasSeconds = static_cast<int>((ticks - localTicks) / 10000000);
  }
  const int64_t local = seconds - biasSeconds;
  const int64_t days = FloorDivide(local, 86400);
  const int64_t inDay = local - days * 86400;
  TLocalClock clock;
  CivilFromDays(days, clock.Year, clock.Month, clock.Day);
  clock.Hour = static_cast<int>(inDay / 3600);
  clock.Minute = static_cast<int>(inDay / 60 % 60);
  clock.Second = static_cast<int>(inDay % 60);
  clock.Millisecond = millis;
  clock.BiasMinutes = static_cast<int32_t>(biasSeconds / 60);
  return clock;
}

void SetProcessTimeZone(const std::string& rule) {
  std::optional<TZoneRule> parsed;
  if (!rule.empty()) {
    parsed = ParseRule(rule);
    if (!parsed) throw Error("Unknown time zone rule \"" + rule + "\"");
  }
  const std::lock_guard lock(ruleMutex);
  processRule = parsed;
}

}  // namespace vexmoor
