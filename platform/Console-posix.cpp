#include <unistd.h>

#include <csignal>

#include "platform/Console.h"

namespace vexmoor {

namespace {

std::atomic<bool>* interruptFlag = nullptr;

extern "C" void OnInterrupt(int) {
  std::atomic<bool>* flag = interruptFlag;
  if (flag == nullptr) return;
  // A second Ctrl+C while the first has not been taken up yet: the user
  // wants out now, so the next one ends the process.
  if (flag->exchange(true)) std::signal(SIGINT, SIG_DFL);
}

}  // namespace

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

void InterruptSetsFlag(std::atomic<bool>& flag) {
  interruptFlag = &flag;
  std::signal(SIGINT, OnInterrupt);
}

void InterruptEndsProcess() {
  std::signal(SIGINT, SIG_DFL);
  interruptFlag = nullptr;
}

void PrepareStandardStreams() {}  // the streams carry bytes as they are

}  // namespace vexmoor
