#include <cstdio>

#include "catalogue/TextLines.h"
#include "cli/Commands.h"
#include "platform/Errors.h"
#include "scan/ScanPipeline.h"
#include "scan/StripedChecksum.h"

namespace vexmoor::cli {

int RunCrc(const Args& args) {
  if (args.empty()) return UsageError("crc");
  // One file at a time, every core on it, so the lines come out in order.
  const unsigned threads = DefaultScanWorkers();
  int status = 0;
  for (const std::string& path : args) {
    try {
      const std::string crc = HexLong(StripedFileCrc32(path, threads));
      std::printf("%s  %s\n", crc.c_str(), path.c_str());
    } catch (const Error& error) {
      std::fflush(stdout);
      ReportError(error.what());
      status = 1;
    }
  }
  return status;
}

}  // namespace vexmoor::cli
