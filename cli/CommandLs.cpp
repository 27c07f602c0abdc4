#include <cinttypes>
#include <cstdio>

#include "catalogue/TextLines.h"
#include "cli/Commands.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "scan/cmpread.h"

namespace vexmoor::cli {

// One line per entry in reader order: CRC, packed size, unpacked size, name
// (control characters escaped, so a name never breaks its line).
int RunLs(const Args& args) {
  if (args.size() != 1) return UsageError("ls");
  const std::string& path = args[0];
  // The reader ignores a missing file; on the command line that is an error.
  if (!PathExists(path)) throw FileOpenError("Cannot open file \"" + path + "\". No such file or directory");
  TCmpRead reader;
  reader.SetFileName(path);
  for (const TCmpRecord& entry : reader.Entries()) {
    const std::string name = PrintableText(entry.Name);
    std::printf("%s  %" PRIu64 "  %" PRIu64 "  ", HexLong(entry.Crc).c_str(), entry.PackedSize, entry.UnpackedSize);
    std::fwrite(name.data(), 1, name.size(), stdout);
    std::putchar('\n');
  }
  return 0;
}

}  // namespace vexmoor::cli
