// 7z archives made by Debian's 7z for the reader tests and benchmarks, and
// hand-made 7z headers wrapped with valid CRCs, for the cases 7z never
// writes.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/ArchiveBuilder.h"
#include "support/TempDir.h"

namespace vexmoor::test {

inline bool HaveSevenZip() { return std::system("command -v 7z >/dev/null 2>&1") == 0; }

// Runs `7z ARGS` in `folder`, output discarded; true when it succeeded.
inline bool RunSevenZip(const std::string& folder, const std::string& args) {
  const std::string command = "cd " + ShellQuote(folder) + " && LC_ALL=C.UTF-8 7z " + args + " -bd >/dev/null 2>&1 </dev/null";
  return std::system(command.c_str()) == 0;
}

// The 7z variable-length number.
inline std::string SevenZipNumber(uint64_t value) {
  for (int extra = 0; extra < 8; ++extra) {
    if (value < (uint64_t{1} << (7 * (extra + 1)))) {
      std::string out(1, char(((0xFF00 >> extra) & 0xFF) | (value >> (8 * extra))));
      for (int i = 0; i < extra; ++i) out += char(value >> (8 * i));
      return out;
    }
  }
  std::string out(1, '\xFF');
  PutU64(out, value);
  return out;
}

// A whole archive: the signature header, `packed` (streams the header
// refers to from offset 0) and `header` as the end header.
inline std::string WrapSevenZipHeader(const std::string& header, const std::string& packed = "") {
  std::string start;
  PutU64(start, packed.size());
  PutU64(start, header.size());
  PutU32(start, Crc32(header.data(), header.size()));
  std::string out("7z\xBC\xAF\x27\x1C\x00\x04", 8);
  PutU32(out, Crc32(start.data(), start.size()));
  return out + start + packed + header;
}

// A 7z of stored members (none empty), one folder each with its CRC, under
// a plain header: what `7z a -mx=0 -ms=off -mhc=off` writes, minus times
// and attributes.
inline std::string BuildSevenZip(const std::vector<ZipMember>& members) {
  std::string packed, sizes, folders, crcs, names(1, '\0');
  for (const ZipMember& m : members) {
    packed += m.data;
    sizes += SevenZipNumber(m.data.size());
    folders += std::string("\x01\x01\x00", 3);
    PutU32(crcs, Crc32(m.data.data(), m.data.size()));
    for (char c : m.name) names += std::string{c, '\0'};
    names += std::string(2, '\0');
  }
  const std::string count = SevenZipNumber(members.size());
  std::string header("\x01\x04\x06\x00", 4);
  header += count + "\x09" + sizes + std::string("\x00\x07\x0B", 3) + count + std::string(1, '\0') + folders;
  header += "\x0C" + sizes + "\x0A\x01" + crcs + std::string(2, '\0');
  header += "\x05" + count + "\x11" + SevenZipNumber(names.size()) + names + std::string(2, '\0');
  return WrapSevenZipHeader(header, packed);
}

}  // namespace vexmoor::test
