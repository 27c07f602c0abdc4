// Zip archives and rar volumes built byte by byte from the header layouts,
// for tests, benchmarks and fuzz seeds. Only what a directory reader looks
// at is realistic: rar members are stored, zip members are stored.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scan/CRC32.h"

namespace vexmoor::test {

inline void PutU16(std::string& out, uint16_t v) {
  out += char(v & 0xFF);
  out += char(v >> 8);
}
inline void PutU32(std::string& out, uint32_t v) {
  PutU16(out, uint16_t(v));
  PutU16(out, uint16_t(v >> 16));
}
inline void PutU64(std::string& out, uint64_t v) {
  PutU32(out, uint32_t(v));
  PutU32(out, uint32_t(v >> 32));
}

struct ZipMember {
  std::string name;
  std::string data;
};

struct ZipOptions {
  std::string comment;
  // Saturated 32-bit sizes and directory offset, with the real values in
  // zip64 extra fields and the zip64 end record.
  bool zip64 = false;
};

// A complete zip of stored members.
inline std::string BuildZip(const std::vector<ZipMember>& members, const ZipOptions& options = {}) {
  std::string out, directory;
  for (const ZipMember& m : members) {
    const uint32_t crc = Crc32(m.data.data(), m.data.size());
    const uint32_t offset = uint32_t(out.size());
    PutU32(out, 0x04034B50);
    PutU16(out, 10), PutU16(out, 0), PutU16(out, 0), PutU16(out, 0), PutU16(out, 0x21);
    PutU32(out, crc), PutU32(out, uint32_t(m.data.size())), PutU32(out, uint32_t(m.data.size()));
    PutU16(out, uint16_t(m.name.size())), PutU16(out, 0);
    out += m.name + m.data;
    const uint32_t size32 = options.zip64 ? 0xFFFFFFFF : uint32_t(m.data.size());
    PutU32(directory, 0x02014B50);
    PutU16(directory, 0x031E), PutU16(directory, options.zip64 ? 45 : 10);
    PutU16(directory, 0), PutU16(directory, 0), PutU16(directory, 0), PutU16(directory, 0x21);
    PutU32(directory, crc), PutU32(directory, size32), PutU32(directory, size32);
    PutU16(directory, uint16_t(m.name.size()));
    PutU16(directory, options.zip64 ? 20 : 0);
    PutU16(directory, 0), PutU16(directory, 0), PutU16(directory, 0);
    PutU32(directory, 0x81A40000), PutU32(directory, offset);
    directory += m.name;
    if (options.zip64) {
      PutU16(directory, 0x0001), PutU16(directory, 16);
      PutU64(directory, m.data.size()), PutU64(directory, m.data.size());
    }
  }
  const uint64_t directoryOffset = out.size();
  out += directory;
  if (options.zip64) {
    const uint64_t endOffset = out.size();
    PutU32(out, 0x06064B50), PutU64(out, 44), PutU16(out, 45), PutU16(out, 45);
    PutU32(out, 0), PutU32(out, 0), PutU64(out, members.size()), PutU64(out, members.size());
    PutU64(out, directory.size()), PutU64(out, directoryOffset);
    PutU32(out, 0x07064B50), PutU32(out, 0), PutU64(out, endOffset), PutU32(out, 1);
  }
  const uint16_t count = options.zip64 ? 0xFFFF : uint16_t(members.size());
  PutU32(out, 0x06054B50), PutU16(out, 0), PutU16(out, 0), PutU16(out, count), PutU16(out, count);
  PutU32(out, options.zip64 ? 0xFFFFFFFF : uint32_t(directory.size()));
  PutU32(out, options.zip64 ? 0xFFFFFFFF : uint32_t(directoryOffset));
  PutU16(out, uint16_t(options.comment.size()));
  return out + options.comment;
}

// Rar 1.5-4.x pieces. A volume is RarMarker() + RarMainHeader() + file
// blocks + RarEndHeader().
inline std::string RarMarker() { return std::string("Rar!\x1A\x07\x00", 7); }
inline std::string Rar5Marker() { return std::string("Rar!\x1A\x07\x01\x00", 8); }

inline std::string RarBlock(uint8_t type, uint16_t flags, const std::string& body) {
  std::string out;
  PutU16(out, 0);  // header CRC: never checked by the reader
  out += char(type);
  PutU16(out, flags);
  PutU16(out, uint16_t(7 + body.size()));
  return out + body;
}

inline std::string RarMainHeader(uint16_t flags = 0) { return RarBlock(0x73, flags, std::string(6, '\0')); }
inline std::string RarEndHeader() { return RarBlock(0x7B, 0x4000, ""); }

struct RarMember {
  std::string name;
  std::string data;     // stored bytes of this volume's part
  uint32_t crc = 0;     // 0: the CRC of `data`
  uint64_t unpacked = UINT64_MAX;  // UINT64_MAX: data.size()
  uint16_t flags = 0;   // besides 0x8000, which is always set
  uint64_t packedHigh = 0;  // with flag 0x100: the high words
  uint32_t unpackedHigh = 0;
};

// A file header block followed by its stored data.
inline std::string RarFileBlock(const RarMember& m) {
  const uint16_t flags = uint16_t(0x8000 | m.flags);
  std::string body;
  PutU32(body, uint32_t(m.data.size()));
  PutU32(body, uint32_t(m.unpacked == UINT64_MAX ? m.data.size() : m.unpacked));
  body += char(2);  // Win32 host
  PutU32(body, m.crc ? m.crc : Crc32(m.data.data(), m.data.size()));
  PutU32(body, 0x5A210000), body += char(29), body += char(0x30);
  PutU16(body, uint16_t(m.name.size())), PutU32(body, 0x20);
  if (flags & 0x0100) PutU32(body, uint32_t(m.packedHigh)), PutU32(body, m.unpackedHigh);
  body += m.name;
  return RarBlock(0x74, flags, body) + m.data;
}

inline std::string BuildRarVolume(const std::vector<RarMember>& members, uint16_t mainFlags = 0) {
  std::string out = RarMarker() + RarMainHeader(mainFlags);
  for (const RarMember& m : members) out += RarFileBlock(m);
  return out + RarEndHeader();
}

}  // namespace vexmoor::test
