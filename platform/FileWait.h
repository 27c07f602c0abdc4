// Waiting until another program lets go of a file: the self-replacement's
// only way to know that the previous process generation has ended.
#pragma once

#include <chrono>
#include <string>

namespace vexmoor {

// What one attempt to open a file for writing found.
enum class TWriteProbe {
  Free,     // the file opened for writing (and was closed again at once)
  Busy,     // a running program holds it: ETXTBSY, on Windows a sharing violation
  Missing,  // nothing at the path
  Refused,  // any other failure: no right to write, a folder, ...
};

// Opens the existing file at `path` for writing, without truncating or
// creating anything, and closes it again. `error` receives the system's error
// number for Busy, Missing and Refused (0 for Free).
TWriteProbe ProbeWritable(const std::string& path, int& error);

enum class TFileWaitOutcome { Free, Missing, Refused, TimedOut };

struct TFileWait {
  TFileWaitOutcome Outcome = TFileWaitOutcome::Free;
  int Error = 0;  // the last probe's system error number (0 for Free)
  std::chrono::milliseconds Waited{0};
};

// Probes `path` every `interval` while it is Busy; any other answer ends the
// wait at once. After `bound` of waiting the file still busy gives TimedOut,
// and the caller must then neither replace nor delete it.
TFileWait WaitForFileRelease(const std::string& path, std::chrono::milliseconds interval,
                             std::chrono::milliseconds bound);

}  // namespace vexmoor
