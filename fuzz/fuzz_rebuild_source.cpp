// Arbitrary bytes as a rebuild source archive: every member listed and read
// to its end through libarchive and our callbacks (seek, read), then the
// same bytes checked as a zip target (SumOnlyMember). Nothing may crash or
// hang; failures must be our exceptions.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/Errors.h"
#include "rebuild/DumpCheck.h"
#include "rebuild/SourceReader.h"

namespace {

namespace fs = std::filesystem;

std::string WorkFile() {
  static const std::string path =
      (fs::temp_directory_path() / ("vexmoor-fuzz-rebuild-" + std::to_string(std::random_device()()))).string();
  return path;
}

void ReadEveryMember(const std::string& path) {
  vexmoor::TArchiveCursor cursor(path);
  std::string name;
  uint64_t size = 0;
  std::vector<char> buffer(65536);
  while (cursor.NextFile(name, size)) {
    while (cursor.Read(buffer.data(), buffer.size()) > 0) {
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = WorkFile();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  try {
    ReadEveryMember(path);
  } catch (const vexmoor::Error&) {
  }
  try {
    vexmoor::SumOnlyMember(path);
  } catch (const vexmoor::Error&) {
  }
  std::error_code ignored;
  fs::remove(path, ignored);
  return 0;
}
