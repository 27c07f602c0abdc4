#include "platform/FileWait.h"

#include <algorithm>
#include <thread>

namespace vexmoor {

TFileWait WaitForFileRelease(const std::string& path, std::chrono::milliseconds interval,
                             std::chrono::milliseconds bound) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  TFileWait wait;
  for (;;) {
    const TWriteProbe probe = ProbeWritable(path, wait.Error);
    wait.Waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    switch (probe) {
      case TWriteProbe::Free: wait.Outcome = TFileWaitOutcome::Free; return wait;
      case TWriteProbe::Missing: wait.Outcome = TFileWaitOutcome::Missing; return wait;
      case TWriteProbe::Refused: wait.Outcome = TFileWaitOutcome::Refused; return wait;
      case TWriteProbe::Busy: break;
    }
    if (wait.Waited >= bound) {
      wait.Outcome = TFileWaitOutcome::TimedOut;
      return wait;
    }
    std::this_thread::sleep_for(std::min(interval, bound - wait.Waited));
  }
}

}  // namespace vexmoor
