// Arbitrary bytes through the archive directory reader: as a zip, as a rar,
// and as the volumes of a rar set in each naming style, or as one rar cut
// into pieces by bytes. The first byte picks the case (bit 2: the later
// volumes of the number style carry no marker, as pieces); volumes are
// separated by the bytes "|VOL|".
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Errors.h"
#include "scan/cmpread.h"

namespace {

namespace fs = std::filesystem;

const fs::path& WorkDir() {
  static const fs::path dir = [] {
    fs::path path = fs::temp_directory_path() / ("vexmoor-fuzz-cmpread-" + std::to_string(std::random_device()()));
    fs::create_directories(path);
    return path;
  }();
  return dir;
}

std::string Write(const std::string& name, std::string_view data) {
  const std::string path = (WorkDir() / name).string();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  return path;
}

void Read(const std::string& path) {
  vexmoor::TCmpRead reader;
  try {
    reader.SetFileName(path);
  } catch (const vexmoor::Error&) {
    // Format and I/O errors are expected answers to bad input.
  }
  for (size_t i = 0; i < reader.Count(); ++i) (void)reader.Items(i);
}

std::vector<std::string_view> SplitVolumes(std::string_view data) {
  std::vector<std::string_view> volumes;
  for (size_t at; volumes.size() < 5 && (at = data.find("|VOL|")) != std::string_view::npos;) {
    volumes.push_back(data.substr(0, at));
    data.remove_prefix(at + 5);
  }
  volumes.push_back(data);
  return volumes;
}

std::string ZeroFilled(size_t value, size_t width) {
  std::string digits = std::to_string(value);
  return std::string(digits.size() < width ? width - digits.size() : 0, '0') + digits;
}

std::string VolumeName(int style, size_t n) {
  switch (style) {
    case 0: return "set.part" + std::to_string(n + 1) + ".rar";
    case 1: return n == 0 ? "set.rar" : "set.r" + ZeroFilled(n - 1, 2);
    default: return "set." + ZeroFilled(n, 3);
  }
}

void ReadSet(uint8_t choice, bool pieces, std::string_view data) {
  const int style = choice % 3;
  const std::vector<std::string_view> volumes = SplitVolumes(data);
  fs::remove_all(WorkDir());
  fs::create_directories(WorkDir());
  const std::string marker("Rar!\x1A\x07\x00", 7);
  for (size_t n = 0; n < volumes.size(); ++n)
    Write(VolumeName(style, n), (pieces && style == 2 && n > 0 ? "" : marker) + std::string(volumes[n]));
  Read((WorkDir() / VolumeName(style, (choice / 3) % volumes.size())).string());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (size < 2) return 0;
  const std::string_view data(reinterpret_cast<const char*>(bytes) + 2, size - 2);
  switch (bytes[0] % 4) {
    case 0: Read(Write("a.zip", std::string("PK\x03\x04", 4) + std::string(data))); break;
    case 1: Read(Write("a.rar", std::string("Rar!\x1A\x07\x00", 7) + std::string(data))); break;
    case 2: ReadSet(bytes[1], (bytes[0] & 4) != 0, data); break;
    default: Read(Write("raw.zip", data)); break;
  }
  return 0;
}
