#include "platform/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "platform/CommandLine.h"
#include "platform/Errors.h"
#include "platform/File.h"

namespace vexmoor {

std::string ExecutablePath() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0 || static_cast<size_t>(length) >= sizeof path) return "";
  return std::string(path, static_cast<size_t>(length));
}

int64_t CurrentProcessId() { return ::getpid(); }

std::vector<std::string> ProgramArguments(int argc, char** argv) { return {argv, argv + argc}; }

namespace {

// What the started side tells the caller through the report pipe: the
// grandchild's number from the middle process, or the errno of a failed
// chdir or exec from the grandchild. A pipe that closes with nothing more
// said means the exec succeeded (the pipe is close-on-exec).
struct TStartReport {
  char Kind;  // 'P' process number, 'E' error
  int64_t Value;
};

void Report(int fd, char kind, int64_t value) {
  const TStartReport report{kind, value};
  while (::write(fd, &report, sizeof report) < 0 && errno == EINTR) {
  }
}

// Runs in the forked children, so it only makes async-signal-safe calls.
[[noreturn]] void RunDetached(int reportFd, const char* program, char* const* argv,
                              const char* folder) {
  ::setsid();
  const pid_t grandchild = ::fork();
  if (grandchild != 0) {
    Report(reportFd, grandchild < 0 ? 'E' : 'P', grandchild < 0 ? errno : grandchild);
    ::_exit(0);
  }
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  if (folder != nullptr && ::chdir(folder) != 0) {
    Report(reportFd, 'E', errno);
    ::_exit(127);
  }
  ::execv(program, argv);
  Report(reportFd, 'E', errno);
  ::_exit(127);
}

}  // namespace

int64_t StartProgram(const std::string& program, std::string_view parameters,
                     const std::string& workingFolder) {
  std::vector<std::string> arguments = SplitCommandLine(parameters);
  arguments.insert(arguments.begin(), program);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const char* folder = workingFolder.empty() ? nullptr : workingFolder.c_str();

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
    throw IoError("Cannot start program \"" + program + "\". " + SystemErrorText(errno));
  }
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeFds[0]);
    RunDetached(pipeFds[1], program.c_str(), argv.data(), folder);
  }
  const int forkError = errno;
  ::close(pipeFds[1]);
  int64_t started = -1;
  int error = child < 0 ? forkError : 0;
  if (child > 0) {
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    TStartReport report{};
    ssize_t got;
    while ((got = ::read(pipeFds[0], &report, sizeof report)) != 0) {
      if (got < 0 && errno == EINTR) continue;
      if (got != static_cast<ssize_t>(sizeof report)) break;
      if (report.Kind == 'P') started = report.Value;
      if (report.Kind == 'E') error = static_cast<int>(report.Value);
    }
  }
  ::close(pipeFds[0]);
  if (error == 0 && started < 0) error = ECHILD;
  if (error != 0) {
    throw IoError("Cannot start program \"" + program + "\". " + SystemErrorText(error));
  }
  return started;
}

}  // namespace vexmoor
