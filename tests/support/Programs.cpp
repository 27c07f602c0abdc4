#include "support/Programs.h"

#include <filesystem>
#include <stdexcept>
#include <thread>

#include "platform/FileWait.h"
#include "platform/Process.h"

namespace vexmoor::test {

namespace fs = std::filesystem;

std::string DriverProgram() { return VEXMOOR_SELFREPLACE_DRIVER; }

std::string CopyProgram(const std::string& source, const std::string& target) {
  fs::copy_file(source, target, fs::copy_options::overwrite_existing);
  fs::permissions(target, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
  return target;
}

std::string StartBusyProgram(const std::string& target, double seconds) {
  std::string program;
  std::string arguments = std::to_string(seconds);
#ifdef _WIN32
  program = DriverProgram();  // Windows has no `sleep` program
  arguments = "--busy " + arguments;
#else
  for (const char* sleep : {"/bin/sleep", "/usr/bin/sleep"})
    if (program.empty() && fs::exists(sleep)) program = sleep;
  if (program.empty()) throw std::runtime_error("no sleep program");
#endif
  CopyProgram(program, target);
  StartProgram(target, arguments, "");
  // The file is busy once the program has been loaded.
  WaitUntil([&] {
    int error = 0;
    return ProbeWritable(target, error) == TWriteProbe::Busy;
  });
  return target;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace vexmoor::test
