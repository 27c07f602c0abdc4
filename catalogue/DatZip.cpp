#include "catalogue/DatZip.h"

#include <zlib.h>

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "catalogue/TextLines.h"
#include "codec/Coding.h"
#include "codec/ZipCentral.h"
#include "platform/Errors.h"
#include "platform/File.h"

namespace vexmoor {

namespace {

constexpr uint32_t kLocalSignature = 0x04034B50;  // "PK" 03 04
constexpr size_t kLocalHeaderSize = 30;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr uint16_t kFlagEncrypted = 0x0001;

std::string ReadAt(TInputFile& file, uint64_t offset, uint64_t size) {
  std::string bytes(static_cast<size_t>(size), '\0');
  file.Seek(offset);
  if (file.ReadFull(bytes.data(), bytes.size()) != bytes.size()) {
    ThrowZipDamaged(file.Path(), "it ends inside a header or a member's data");
  }
  return bytes;
}

bool IsDatName(std::string_view name) {
  const std::string lower = AsciiLower(name);
  const auto endsWith = [&](std::string_view ext) {
    return lower.size() > ext.size() && lower.compare(lower.size() - ext.size(), ext.size(), ext) == 0;
  };
  return endsWith(".dat") || endsWith(".xml");
}

std::vector<TZipRecord> DatMembers(TInputFile& file) {
  std::vector<TZipRecord> members;
  ReadZipCentralDirectory(file, TZipReading::Strict, [&](TZipRecord& record) {
    if (IsDatName(record.Name)) members.push_back(std::move(record));
  });
  return members;
}

void CheckUnpackable(const TZipRecord& member, const std::string& path) {
  if (member.Flags & kFlagEncrypted) ThrowZipDamaged(path, "\"" + member.Name + "\" is encrypted");
  if (member.Method != kMethodStored && member.Method != kMethodDeflated) {
    ThrowZipDamaged(path, "\"" + member.Name + "\" is packed by method " +
                              std::to_string(member.Method) +
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
std::string PackedData(TInputFile& file, const TZipRecord& member) {
  const std::string local = ReadAt(file, member.LocalHeaderOffset, kLocalHeaderSize);
  const auto* bytes = reinterpret_cast<const uint8_t*>(local.data());
  if (LoadU32(bytes) != kLocalSignature) {
    ThrowZipDamaged(file.Path(), "a member's local header is missing");
  }
  const uint64_t start =
      uint64_t{member.LocalHeaderOffset} + kLocalHeaderSize + LoadU16(bytes + 26) + LoadU16(bytes + 28);
  if (start + member.PackedSize > file.Size()) {
    ThrowZipDamaged(file.Path(), "a member's data is cut short");
  }
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

std::string Unpack(TInputFile& file, const TZipRecord& member) {
  std::string packed = PackedData(file, member);
  std::optional<std::string> text;
  if (member.Method == kMethodStored) {
    if (member.PackedSize == member.UnpackedSize) text = std::move(packed);
  } else {
    text = Inflate(packed, member.UnpackedSize);
  }
  if (!text) ThrowZipDamaged(file.Path(), "\"" + member.Name + "\" does not unpack to its recorded size");
  const uLong crc = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(text->data()),
                          static_cast<uInt>(text->size()));
  if (crc != member.Crc) ThrowZipDamaged(file.Path(), "\"" + member.Name + "\" fails its CRC-32 check");
  return std::move(*text);
}

}  // namespace

TZippedDat ReadZippedDat(const std::string& path) {
  TInputFile file(path);
  std::vector<TZipRecord> members = DatMembers(file);
  if (members.size() != 1) {
    throw FormatError("The zip \"" + path + "\" holds " + std::to_string(members.size()) +
                      " files ending in .dat or .xml; a zipped dat must hold exactly one");
  }
  const TZipRecord& member = members.front();
  CheckUnpackable(member, path);
  return {member.Name, Unpack(file, member)};
}

}  // namespace vexmoor
