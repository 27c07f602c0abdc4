#include "updater/UpdateLog.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/Process.h"
#include "updater/UpdateCheck.h"

namespace vexmoor {

std::string UpdateLogLine(std::string_view localTime, int64_t processId,
                          std::string_view generation, std::string_view what,
                          std::string_view outcome) {
  std::string line(localTime);
  line += " pid " + std::to_string(processId) + " ";
  line += generation;
  line += ": ";
  line += what;
  line += " -> ";
  line += outcome;
  line += '\n';
  return line;
}

std::string UpdateLogTime() {
  const TLocalClock now = ReadLocalClock();
  const int offset = -now.BiasMinutes;
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d %c%02d:%02d", now.Year, now.Month,
                now.Day, now.Hour, now.Minute, now.Second, offset < 0 ? '-' : '+',
                std::abs(offset) / 60, std::abs(offset) % 60);
  return text;
}

void AppendUpdateLog(const std::string& folder, std::string_view generation,
                     std::string_view what, std::string_view outcome) {
  const std::string line =
      UpdateLogLine(UpdateLogTime(), CurrentProcessId(), generation, what, outcome);
  try {
    AppendToFile(JoinFolder(folder, kUpdateLogName), line);
  } catch (const Error& error) {
    std::fprintf(stderr, "%s%s\n", line.c_str(), error.what());
  }
}

}  // namespace vexmoor
