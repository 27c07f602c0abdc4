// The hand-over log: every process generation of a self-replacement appends
// one line to "vexmoor-update.log" in the program's folder, so a hand-over
// that went wrong can be understood afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vexmoor {

inline constexpr std::string_view kUpdateLogName = "vexmoor-update.log";

// One log line, ending in a line feed:
//   "2026-12-07 19:40:01 +01:00 pid 4711 -update: <what> -> <outcome>\n"
// `localTime` is the reading to print (ReadLocalClock's format).
std::string UpdateLogLine(std::string_view localTime, int64_t processId,
                          std::string_view generation, std::string_view what,
                          std::string_view outcome);

// The current local time as the log prints it: "2026-12-07 19:40:01 +01:00".
std::string UpdateLogTime();

// Appends a line for this process to the log in `folder` ("" gives the current
// folder). A log that cannot be written is not an error: the hand-over goes
// on, and the line goes to standard error instead.
void AppendUpdateLog(const std::string& folder, std::string_view generation,
                     std::string_view what, std::string_view outcome);

}  // namespace vexmoor
