#include <cstdio>
#include <exception>

#include "cli/Commands.h"
#include "encoder/DatEncoder.h"

namespace vexmoor::cli {

namespace {

// Splits the options from the dats; false for an unknown option.
bool ReadEncodeArgs(const Args& args, TEncodeOptions& options, std::vector<std::string>& dats) {
  bool optionsEnded = false;
  for (const std::string& arg : args) {
    if (optionsEnded || arg.empty() || arg[0] != '-') {
      dats.push_back(arg);
    } else if (arg == "--keep-timestamps") {
      options.UpdateTimeStamps = false;
    } else if (arg == "--no-keys-file") {
      options.CreateUpdateKeysFile = false;
    } else if (arg == "--") {
      optionsEnded = true;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int RunEncode(const Args& args) {
  TEncodeOptions options;
  std::vector<std::string> dats;
  if (!ReadEncodeArgs(args, options, dats) || dats.empty()) return UsageError("encode");
  size_t encoded = 0;
  try {
    const TEncodeResult result =
        EncodeDats(dats, options, [&](size_t row, std::string_view status) {
          std::printf("%.*s %s -> %s\n", static_cast<int>(status.size()), status.data(),
                      dats[row].c_str(), EncodedDatPath(dats[row]).c_str());
          encoded = row + 1;
        });
    if (!result.KeysFile.empty())
      std::printf("Update keys written to %s\n", result.KeysFile.c_str());
  } catch (const std::exception& error) {
    std::fflush(stdout);
    ReportError("cannot encode \"" + dats[encoded] + "\": " + error.what());
    return 1;
  }
  return 0;
}

}  // namespace vexmoor::cli
