#include <cstdio>
#include <optional>

#include "catalogue/DatContainer.h"
#include "cli/Commands.h"

namespace vexmoor::cli {

int RunDecode(const Args& args) {
  if (args.size() != 1) return UsageError("decode");
  const std::optional<std::string> text = ReadQuenDatText(args[0]);
  if (!text) {
    ReportError("\"" + args[0] +
                "\" does not decipher to a packed dat (another key, or a damaged file)");
    return 1;
  }
  if (std::fwrite(text->data(), 1, text->size(), stdout) != text->size() ||
      std::fflush(stdout) != 0) {
    ReportError("cannot write the dat text to standard output");
    return 1;
  }
  return 0;
}

}  // namespace vexmoor::cli
