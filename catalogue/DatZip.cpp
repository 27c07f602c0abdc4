#include "catalogue/DatZip.h"

#include <zlib.h>

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "catalogue/TextLines.h"
#include "platform/Errors.h"
#include "platform/File.h"

namespace vexmoor {

namespace {

constexpr uint32_t kEndSignature = 0x06054B50;      // "PK" 05 06
constexpr uint32_t kCentralSignature = 0x02014B50;  // "PK" 01 02
constexpr uint32_t kLocalSignature = 0x04034B50;    // "PK" 03 04
constexpr size_t kEndRecordSize = 22;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kLocalHeaderSize = 30;
// The end record lies within the last 22 + 65535 bytes (record plus the
// longest comment).
constexpr uint64_t kEndSearchSpan = kEndRecordSize + 0xFFFF;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr uint16_t kFlagEncrypted = 0x0001;

uint16_t U16(const char* at) {
  const auto* b = reinterpret_cast<const unsigned char*>(at);
  return static_cast<uint16_t>(b[0] | b[1] << 8);
}
uint32_t U32(const char* at) { return U16(at) | static_cast<uint32_t>(U16(at + 2)) << 16; }

struct TMember {
  std::string Name;
  uint16_t Flags = 0;
  uint16_t Method = 0;
  uint32_t Crc = 0;
  uint64_t PackedSize = 0;
  uint64_t UnpackedSize = 0;
  uint64_t LocalOffset = 0;
};

[[noreturn]] void Damaged(const std::string& path, const std::string& why) {
  throw FormatError("The zip \"" + path + "\" cannot be read: " + why);
}

std::string ReadAt(InputFile& file, uint64_t offset, uint64_t size) {
  std::string bytes(static_cast<size_t>(size), '\0');
  file.Seek(offset);
  if (file.ReadFull(bytes.data(), bytes.size()) != bytes.size()) {
    Damaged(file.Path(), "it ends inside a header or a member's data");
  }
  return bytes;
}

// The central directory's bytes, found through the end record.
std::string CentralDirectory(InputFile& file) {
  const uint64_t size = file.Size();
  const uint64_t span = std::min(size, kEndSearchSpan);
  const std::string tail = ReadAt(file, size - span, span);
  for (size_t at = tail.size() >= kEndRecordSize ? tail.size() - kEndRecordSize + 1 : 0; at-- > 0;) {
    if (U32(&tail[at]) != kEndSignature) continue;
    const uint64_t length = U32(&tail[at + 12]);
    const uint64_t offset = U32(&tail[at + 16]);
    if (offset == 0xFFFFFFFF || offset + length > size) Damaged(file.Path(), "its directory lies outside it");
    return ReadAt(file, offset, length);
  }
  Damaged(file.Path(), "it has no end record");
}

bool IsDatName(std::string_view name) {
  const std::string lower = AsciiLower(name);
  const auto endsWith = [&](std::string_view ext) {
    return lower.size() > ext.size() && lower.compare(lower.size() - ext.size(), ext.size(), ext) == 0;
  };
  return endsWith(".dat") || endsWith(".xml");
}

std::vector<TMember> DatMembers(const std::string& directory, const std::string& path) {
  std::vector<TMember> members;
  for (size_t at = 0; at + kCentralHeaderSize <= directory.size();) {
    const char* header = directory.data() + at;
    if (U32(header) != kCentralSignature) break;
    const size_t nameLength = U16(header + 28);
    const size_t next = at + kCentralHeaderSize + nameLength + U16(header + 30) + U16(header + 32);
    if (next > directory.size()) Damaged(path, "a directory entry is cut short");
    TMember member{directory.substr(at + kCentralHeaderSize, nameLength), U16(header + 8),
                   U16(header + 10), U32(header + 16), U32(header + 20), U32(header + 24),
                   U32(header + 42)};
    if (IsDatName(member.Name)) members.push_back(std::move(member));
    at = next;
  }
  return members;
}

void CheckUnpackable(const TMember& member, const std::string& path) {
  if (member.Flags & kFlagEncrypted) Damaged(path, "\"" + member.Name + "\" is encrypted");
  if (member.Method != kMethodStored && member.Method != kMethodDeflated) {
    Damaged(path, "\"" + member.Name + "\" is packed by method " + std::to_string(member.Method) +
                      ", which only store (0) and deflate (8) dats may use");
  }
  // Deflate never needs much more room than the data it packs.
  if (member.UnpackedSize > kMaxZippedDatSize || member.PackedSize > kMaxZippedDatSize + (1 << 20)) {
    throw FormatError("The dat \"" + member.Name + "\" in \"" + path + "\" unpacks to " +
                      std::to_string(member.UnpackedSize) +
                      " bytes; dats larger than 256 MiB are refused");
  }
}

// The member's packed bytes, after its local header.
std::string PackedData(InputFile& file, const TMember& member) {
  const std::string local = ReadAt(file, member.LocalOffset, kLocalHeaderSize);
  if (U32(local.data()) != kLocalSignature) Damaged(file.Path(), "a member's local header is missing");
  const uint64_t start = member.LocalOffset + kLocalHeaderSize + U16(&local[26]) + U16(&local[28]);
  if (start + member.PackedSize > file.Size()) Damaged(file.Path(), "a member's data is cut short");
  return ReadAt(file, start, member.PackedSize);
}

// Raw deflate into exactly `size` bytes; anything else is damage.
std::optional<std::string> Inflate(const std::string& packed, uint64_t size) {
  std::string out(static_cast<size_t>(size), '\0');
  z_stream stream{};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) throw Error("Out of memory");
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  stream.avail_in = static_cast<uInt>(packed.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = inflate(&stream, Z_FINISH);
  const bool whole = result == Z_STREAM_END && stream.total_out == size;
  inflateEnd(&stream);
  if (!whole) return std::nullopt;
  return out;
}

std::string Unpack(InputFile& file, const TMember& member) {
  std::string packed = PackedData(file, member);
  std::optional<std::string> text;
  if (member.Method == kMethodStored) {
    if (member.PackedSize == member.UnpackedSize) text = std::move(packed);
  } else {
    text = Inflate(packed, member.UnpackedSize);
  }
  if (!text) Damaged(file.Path(), "\"" + member.Name + "\" does not unpack to its recorded size");
  const uLong crc = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(text->data()),
                          static_cast<uInt>(text->size()));
  if (crc != member.Crc) Damaged(file.Path(), "\"" + member.Name + "\" fails its CRC-32 check");
  return std::move(*text);
}

}  // namespace

TZippedDat ReadZippedDat(const std::string& path) {
  InputFile file(path);
  std::vector<TMember> members = DatMembers(CentralDirectory(file), path);
  if (members.size() != 1) {
    throw FormatError("The zip \"" + path + "\" holds " + std::to_string(members.size()) +
                      " files ending in .dat or .xml; a zipped dat must hold exactly one");
  }
  const TMember& member = members.front();
  CheckUnpackable(member, path);
  return {member.Name, Unpack(file, member)};
}

}  // namespace vexmoor
