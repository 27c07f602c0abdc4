// Arbitrary bytes through the 7z header reader. The first byte picks the
// case: even, the rest is a whole archive; odd, two bytes give the length of
// the packed streams (little-endian), which the end header follows, and the
// two are wrapped in a signature header with valid CRCs so that the parser
// sees them past the checks.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <span>
#include <string>

#include "scan/CRC32.h"
#include "scan/archive/SevenZipDirectory.h"

namespace {

void PutU64(std::string& out, uint64_t value) {
  for (int i = 0; i < 8; ++i) out += char(value >> (8 * i));
}

void PutU32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out += char(value >> (8 * i));
}

std::string Wrap(std::string_view packed, std::string_view header) {
  std::string start;
  PutU64(start, packed.size());
  PutU64(start, header.size());
  PutU32(start, vexmoor::Crc32(header.data(), header.size()));
  std::string archive("7z\xBC\xAF\x27\x1C\x00\x04", 8);
  PutU32(archive, vexmoor::Crc32(start.data(), start.size()));
  return archive + start + std::string(packed) + std::string(header);
}

void List(std::string_view archive) {
  vexmoor::TSevenZipMemory source(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(archive.data()), archive.size()));
  (void)vexmoor::ListSevenZip(source);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (size < 3) return 0;
  if (bytes[0] % 2 == 0) {
    List(std::string_view(reinterpret_cast<const char*>(bytes) + 1, size - 1));
  } else {
    const std::string_view data(reinterpret_cast<const char*>(bytes) + 3, size - 3);
    const size_t split = std::min<size_t>(data.size(), bytes[1] | bytes[2] << 8);
    List(Wrap(data.substr(0, split), data.substr(split)));
  }
  return 0;
}
