// vexmoor pack IN OUT / vexmoor unpack IN OUT: a whole file through TaPLib.
#include <string>

#include "cli/Commands.h"
#include "codec/aPLib.h"
#include "platform/Errors.h"
#include "platform/File.h"

namespace vexmoor::cli {

namespace {

// Reads IN, runs Pack or UnPack on it and writes the result to OUT, which
// appears only once it is complete.
int Transform(const Args& args, const char* name, void (TaPLib::*operation)()) {
  if (args.size() != 2) return UsageError(name);
  try {
    const std::string input = ReadWholeFile(args[0]);
    if (input.size() > UINT32_MAX) throw Error("Out of memory");
    TaPLib codec;
    codec.Source = input.data();
    codec.Length = static_cast<uint32_t>(input.size());
    (codec.*operation)();
    WriteFileAtomically(args[1], std::string_view(reinterpret_cast<const char*>(codec.Destination), codec.Length));
  } catch (const Error& error) {
    ReportError(error.what());
    return 1;
  }
  return 0;
}

}  // namespace

int RunPack(const Args& args) { return Transform(args, "pack", &TaPLib::Pack); }

int RunUnpack(const Args& args) { return Transform(args, "unpack", &TaPLib::UnPack); }

}  // namespace vexmoor::cli
