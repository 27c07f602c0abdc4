// The console on Windows: Ctrl+C and Ctrl+Break arrive through the console's
// control handler (and raise(SIGINT) through the C library's signal), and
// the standard streams carry the program's UTF-8 bytes unchanged.
#include <fcntl.h>
#include <io.h>

#include <csignal>

#include "platform/Console.h"
#include "platform/LongPath-win32.h"

namespace vexmoor {

namespace {

std::atomic<std::atomic<bool>*> interruptFlag{nullptr};

// True when the interrupt was taken up; false lets it end the process.
bool TakeInterrupt() {
  std::atomic<bool>* flag = interruptFlag.load();
  if (flag == nullptr) return false;
  // A second Ctrl+C while the first has not been taken up yet: the user
  // wants out now.
  return !flag->exchange(true);
}

BOOL WINAPI OnControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  return TakeInterrupt() ? TRUE : FALSE;
}

extern "C" void OnSignal(int) {
  if (TakeInterrupt()) {
    std::signal(SIGINT, OnSignal);  // the C library resets it before the call
  } else {
    std::signal(SIGINT, SIG_DFL);
    std::raise(SIGINT);
  }
}

}  // namespace

bool IsTerminal(std::FILE* stream) {
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) == FILE_TYPE_CHAR &&
         ::GetConsoleMode(handle, &mode) != 0;
}

void InterruptSetsFlag(std::atomic<bool>& flag) {
  interruptFlag = &flag;
  ::SetConsoleCtrlHandler(OnControl, TRUE);
  std::signal(SIGINT, OnSignal);
}

void InterruptEndsProcess() {
  ::SetConsoleCtrlHandler(OnControl, FALSE);
  std::signal(SIGINT, SIG_DFL);
  interruptFlag = nullptr;
}

void PrepareStandardStreams() {
  ::SetConsoleOutputCP(CP_UTF8);
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
  ::_setmode(::_fileno(stdin), _O_BINARY);
}

}  // namespace vexmoor
