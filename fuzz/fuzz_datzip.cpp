// Arbitrary bytes as a zipped dat: the one .dat or .xml member comes out
// whole and within the size bound, or the read fails with a FormatError;
// a header's sizes never make it allocate or read beyond the bound.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "catalogue/DatZip.h"
#include "platform/Errors.h"

namespace {

const std::string& ZipPath() {
  static const std::string path =
      (std::filesystem::temp_directory_path() /
       ("vexmoor-fuzz-datzip-" + std::to_string(std::random_device()()) + ".zip"))
          .string();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vexmoor;
  {
    std::ofstream out(ZipPath(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  try {
    const TZippedDat dat = ReadZippedDat(ZipPath());
    if (dat.Text.size() > kMaxZippedDatSize || dat.MemberName.size() < 5) __builtin_trap();
  } catch (const FormatError&) {
  }
  return 0;
}
