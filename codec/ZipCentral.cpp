#include "codec/ZipCentral.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "codec/BufferedReader.h"
#include "codec/Coding.h"
#include "platform/Errors.h"
#include "platform/File.h"

namespace vexmoor {

namespace {

constexpr uint32_t kEndSignature = 0x06054B50;           // "PK" 05 06
constexpr uint32_t kCentralSignature = 0x02014B50;       // "PK" 01 02
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;  // "PK" 06 07
constexpr uint32_t kZip64EndSignature = 0x06064B50;      // "PK" 06 06
constexpr uint32_t kSaturated = 0xFFFFFFFF;
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kZip64EndSize = 56;
constexpr size_t kCentralFixedSize = 42;  // after the signature
constexpr size_t kCentralHeaderSize = 4 + kCentralFixedSize;
// Archives without a comment end in the end record, so a short tail almost
// always holds it; only commented archives need the whole search span.
constexpr uint64_t kFirstSearchSpan = kEndRecordSize + 1024;

// Where the central directory starts and how many headers the end record
// announces.
struct TDirectoryPlace {
  uint64_t Offset = 0;
  uint64_t Count = 0;
};

// The central directory of a zip64 archive: the locator just before the end
// record names the zip64 end record, which holds the offset and the count.
std::optional<TDirectoryPlace> Zip64DirectoryPlace(TInputFile& file, uint64_t endRecord) {
  if (endRecord < kZip64LocatorSize) return std::nullopt;
  uint8_t locator[kZip64LocatorSize];
  if (file.ReadAt(endRecord - kZip64LocatorSize, locator, sizeof locator) != sizeof locator ||
      LoadU32(locator) != kZip64LocatorSignature) {
    return std::nullopt;
  }
  uint8_t end[kZip64EndSize];
  if (file.ReadAt(LoadU64(locator + 8), end, sizeof end) != sizeof end ||
      LoadU32(end) != kZip64EndSignature) {
    return std::nullopt;
  }
  return TDirectoryPlace{LoadU64(end + 48), LoadU64(end + 32)};
}

// What an end record candidate's directory offset leads to.
enum class TCandidate { Rejected, Directory, Empty };

// A candidate is good when its directory offset leads to a central header;
// one whose offset is its own position has an empty directory. A record
// inside an archive comment usually points elsewhere (at a local header, or
// into another archive) and is passed over.
TCandidate TestCandidate(TInputFile& file, uint64_t endRecord, uint64_t offset) {
  if (offset == endRecord) return TCandidate::Empty;
  uint8_t signature[4];
  if (file.ReadAt(offset, signature, sizeof signature) != sizeof signature) return TCandidate::Rejected;
  return LoadU32(signature) == kCentralSignature ? TCandidate::Directory : TCandidate::Rejected;
}

// The directory of the last end-record candidate, searched from size - 22
// back to size - 65557, that leads to a central header; failing that, the
// last candidate with an empty directory; nothing when neither exists.
std::optional<TDirectoryPlace> DirectoryPlace(TInputFile& file, uint64_t size) {
  if (size < kEndRecordSize) return std::nullopt;
  std::vector<uint8_t> tail;
  std::optional<TDirectoryPlace> empty;
  uint64_t untested = size - kEndRecordSize + 1;  // candidates below this one are untested
  for (const uint64_t span : {kFirstSearchSpan, kZipEndSearchSpan}) {
    const size_t length = static_cast<size_t>(std::min(span, size));
    const uint64_t start = size - length;
    tail.resize(length);
    if (file.ReadAt(start, tail.data(), length) != length) return std::nullopt;
    for (size_t at = static_cast<size_t>(untested - start); at-- > 0;) {
      if (LoadU32(&tail[at]) != kEndSignature) continue;
      const uint64_t endRecord = start + at;
      TDirectoryPlace place{LoadU32(&tail[at + 16]), LoadU16(&tail[at + 10])};
      if (place.Offset == kSaturated) place = Zip64DirectoryPlace(file, endRecord).value_or(place);
      const TCandidate candidate = TestCandidate(file, endRecord, place.Offset);
      if (candidate == TCandidate::Directory) return place;
      if (candidate == TCandidate::Empty && !empty) empty = TDirectoryPlace{place.Offset, 0};
    }
    untested = start;
    if (length == size) break;
  }
  return empty;
}

// The directory of the last end record in the search span, which must lie
// within the file: its offset and its end.
std::pair<uint64_t, uint64_t> StrictDirectory(TInputFile& file) {
  const uint64_t size = file.Size();
  const size_t span = static_cast<size_t>(std::min(size, kZipEndSearchSpan));
  std::vector<uint8_t> tail(span);
  if (file.ReadAt(size - span, tail.data(), span) != span) {
    ThrowZipDamaged(file.Path(), "it ends inside a header or a member's data");
  }
  for (size_t at = span >= kEndRecordSize ? span - kEndRecordSize + 1 : 0; at-- > 0;) {
    if (LoadU32(&tail[at]) != kEndSignature) continue;
    const uint64_t length = LoadU32(&tail[at + 12]);
    const uint64_t offset = LoadU32(&tail[at + 16]);
    if (offset == kSaturated || offset + length > size) {
      ThrowZipDamaged(file.Path(), "its directory lies outside it");
    }
    return {offset, offset + length};
  }
  ThrowZipDamaged(file.Path(), "it has no end record");
}

// Takes the 64-bit sizes from the zip64 extra field for each size whose
// 32-bit field is saturated; they appear there in the order unpacked, packed.
void ApplyZip64Extra(std::string_view extra, TZipRecord& record) {
  while (extra.size() >= 4) {
    const auto* head = reinterpret_cast<const uint8_t*>(extra.data());
    const uint16_t id = LoadU16(head);
    const size_t length = std::min<size_t>(LoadU16(head + 2), extra.size() - 4);
    if (id == kZip64ExtraId) {
      const auto* data = head + 4;
      size_t at = 0;
      if (record.UnpackedSize == kSaturated && at + 8 <= length) {
        record.UnpackedSize = LoadU64(data + at);
        at += 8;
      }
      if (record.PackedSize == kSaturated && at + 8 <= length) record.PackedSize = LoadU64(data + at);
      return;
    }
    extra.remove_prefix(4 + length);
  }
}

// Reads the fixed part of a central header after its signature; false when
// the file ends inside it.
bool ReadCentralFixed(TBufferedReader& reader, TZipRecord& record) {
  uint8_t fixed[kCentralFixedSize];
  if (!reader.Read(fixed, sizeof fixed)) return false;
  record.VersionNeeded = LoadU16(fixed + 2);
  record.Flags = LoadU16(fixed + 4);
  record.Method = LoadU16(fixed + 6);
  record.ModTime = LoadU16(fixed + 8);
  record.ModDate = LoadU16(fixed + 10);
  record.Crc = LoadU32(fixed + 12);
  record.PackedSize = LoadU32(fixed + 16);
  record.UnpackedSize = LoadU32(fixed + 20);
  record.NameLength = LoadU16(fixed + 24);
  record.ExtraLength = LoadU16(fixed + 26);
  record.CommentLength = LoadU16(fixed + 28);
  record.InternalAttributes = LoadU16(fixed + 32);
  record.ExternalAttributes = LoadU32(fixed + 34);
  record.LocalHeaderOffset = LoadU32(fixed + 38);
  return true;
}

// Reads one central header after its signature; false when the file ends
// inside it.
bool ReadTolerantHeader(TBufferedReader& reader, TZipRecord& record) {
  std::string& extra = record.Extra;
  if (!ReadCentralFixed(reader, record) || !reader.ReadString(record.Name, record.NameLength) ||
      !reader.ReadString(extra, record.ExtraLength) ||
      record.CommentLength > reader.Size() - reader.Position()) {
    return false;
  }
  reader.Skip(record.CommentLength);
  if (record.PackedSize == kSaturated || record.UnpackedSize == kSaturated) ApplyZip64Extra(extra, record);
  return true;
}

std::string ReadTolerant(TInputFile& file, const std::function<void(TZipRecord&)>& each) {
  const std::optional<TDirectoryPlace> place = DirectoryPlace(file, file.Size());
  if (!place)
    return "Damaged zip archive: no end record leads to its directory (is it cut short?).";
  TBufferedReader reader(file);
  reader.Seek(place->Offset);
  uint64_t headers = 0;
  uint32_t signature = 0;
  while (reader.ReadU32(signature) && signature == kCentralSignature) {
    TZipRecord record;
    if (!ReadTolerantHeader(reader, record)) break;
    ++headers;
    each(record);
  }
  // The end record's count is 16 bits wide; a larger directory saturates it.
  if (headers < place->Count && place->Count != 0xFFFF)
    return "Damaged zip archive: its directory ends after " + std::to_string(headers) + " of " +
           std::to_string(place->Count) + " members.";
  return {};
}

void ReadStrict(TInputFile& file, const std::function<void(TZipRecord&)>& each) {
  const auto [offset, end] = StrictDirectory(file);
  TBufferedReader reader(file);
  reader.Seek(offset);
  uint32_t signature = 0;
  while (end - reader.Position() >= kCentralHeaderSize && reader.ReadU32(signature) &&
         signature == kCentralSignature) {
    TZipRecord record;
    if (!ReadCentralFixed(reader, record)) {
      ThrowZipDamaged(file.Path(), "it ends inside a header or a member's data");
    }
    const uint64_t rest = uint64_t{record.NameLength} + record.ExtraLength + record.CommentLength;
    if (rest > end - reader.Position()) ThrowZipDamaged(file.Path(), "a directory entry is cut short");
    if (!reader.ReadString(record.Name, record.NameLength)) {
      ThrowZipDamaged(file.Path(), "it ends inside a header or a member's data");
    }
    reader.Skip(uint64_t{record.ExtraLength} + record.CommentLength);
    each(record);
  }
}

}  // namespace

std::string ReadZipCentralDirectory(TInputFile& file, TZipReading reading,
                                    const std::function<void(TZipRecord&)>& each) {
  if (reading == TZipReading::Tolerant) return ReadTolerant(file, each);
  ReadStrict(file, each);
  return {};
}

void ThrowZipDamaged(const std::string& path, const std::string& why) {
  throw FormatError("The zip \"" + path + "\" cannot be read: " + why);
}

}  // namespace vexmoor
