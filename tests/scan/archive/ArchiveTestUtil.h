// Shared helpers of the archive reader tests.
#pragma once

#include <string>
#include <vector>

#include "catalogue/TextLines.h"
#include "scan/cmpread.h"

namespace vexmoor::test {

// The entries as "CRC  packed  unpacked  name" lines, as `vexmoor ls` prints.
inline std::vector<std::string> Listing(const std::vector<TCmpRecord>& entries) {
  std::vector<std::string> lines;
  for (const TCmpRecord& e : entries) {
    lines.push_back(HexLong(e.Crc) + "  " + std::to_string(e.PackedSize) + "  " +
                    std::to_string(e.UnpackedSize) + "  " + e.Name);
  }
  return lines;
}

// Reads `path` with a fresh reader and returns its listing.
inline std::vector<std::string> ListArchive(const std::string& path) {
  TCmpRead reader;
  reader.SetFileName(path);
  return Listing(reader.Entries());
}

}  // namespace vexmoor::test
