#include "scan/archive/SevenZipDirectory.h"

#include <cstring>

#include "codec/BufferedReader.h"
#include "codec/Coding.h"
#include "scan/CRC32.h"
#include "scan/archive/SevenZipDecode.h"
#include "scan/archive/SevenZipFormat.h"
#include "scan/archive/SevenZipHeader.h"

namespace vexmoor {

using namespace sevenzip;

namespace {

[[noreturn]] void Damaged(const std::string& what) { throw SevenZipHeaderError("Damaged 7z archive: " + what + "."); }

// `size` bytes at `offset`, which must lie within the source.
std::vector<uint8_t> ReadRange(TSevenZipSource& source, uint64_t offset, uint64_t size) {
  if (offset > source.Size() || size > source.Size() - offset) Damaged("a header lies beyond the end");
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (!source.ReadAt(offset, bytes.data(), bytes.size())) Damaged("a header lies beyond the end");
  return bytes;
}

struct TNextHeaderPlace {
  uint64_t Offset = 0;
  uint64_t Size = 0;
  uint32_t Crc = 0;
};

// The signature header: signature, version 0.x, and the place of the end
// header, guarded by the start-header CRC.
TNextHeaderPlace ReadSignatureHeader(TSevenZipSource& source) {
  uint8_t head[kSignatureHeaderSize];
  if (!source.ReadAt(0, head, sizeof head)) Damaged("the signature header is cut short");
  if (std::memcmp(head, kSignature, sizeof kSignature) != 0) Damaged("no 7z signature");
  if (head[6] != 0) Damaged("unsupported format version");
  if (Crc32(head + 12, 20) != LoadU32(head + 8)) Damaged("the start header's CRC differs");
  const TNextHeaderPlace place{LoadU64(head + 12), LoadU64(head + 20), LoadU32(head + 28)};
  if (place.Offset > UINT64_MAX - kSignatureHeaderSize) Damaged("the end header lies beyond the end");
  if (place.Size > kMaxHeaderSize) Damaged("the end header is larger than 64 MiB");
  return place;
}

// Unpacks a packed header from its one folder; nothing when it is encrypted.
std::optional<std::vector<uint8_t>> UnpackHeader(TSevenZipSource& source, const TSevenZipStreams& streams) {
  if (streams.Folders.size() != 1 || streams.PackSizes.empty()) Damaged("a packed header needs one folder");
  const TSevenZipFolder& folder = streams.Folders[0];
  if (SevenZipFolderIsEncrypted(folder)) return std::nullopt;
  if (folder.UnpackSize > kMaxHeaderSize) Damaged("the header unpacks to more than 64 MiB");
  if (streams.PackSizes[0] > kMaxHeaderSize) Damaged("the packed header is larger than 64 MiB");
  if (streams.PackPos > UINT64_MAX - kSignatureHeaderSize) Damaged("the packed header lies beyond the end");
  const std::vector<uint8_t> packed = ReadRange(source, kSignatureHeaderSize + streams.PackPos, streams.PackSizes[0]);
  return DecodeSevenZipFolder(folder, packed);
}

void AddEntries(const TSevenZipHeader& header, std::vector<TCmpRecord>& entries) {
  const TSevenZipStreams& streams = header.MainStreams;
  size_t stream = 0;
  for (const TSevenZipFile& file : header.Files) {
    if (file.IsAnti) continue;
    if (!file.HasStream) {
      entries.push_back({file.Name, 0, 0, 0});
      continue;
    }
    const std::optional<uint32_t> crc = streams.SubStreamCrcs[stream];
    const uint64_t size = streams.SubStreamSizes[stream++];
    if (crc) entries.push_back({file.Name, *crc, 0, size});
  }
}

TSevenZipListing List(TSevenZipSource& source) {
  TSevenZipListing listing;
  const TNextHeaderPlace place = ReadSignatureHeader(source);
  if (place.Size == 0) return listing;  // an empty archive
  const std::vector<uint8_t> bytes = ReadRange(source, kSignatureHeaderSize + place.Offset, place.Size);
  if (Crc32(bytes.data(), bytes.size()) != place.Crc) Damaged("the end header's CRC differs");
  TSevenZipNextHeader next = ParseSevenZipHeader(bytes, true);
  if (next.Encoded) {
    const std::optional<std::vector<uint8_t>> unpacked = UnpackHeader(source, next.EncodedStreams);
    if (!unpacked) {
      listing.Status = TSevenZipStatus::Encrypted;
      return listing;
    }
    next = ParseSevenZipHeader(*unpacked, false);
  }
  AddEntries(next.Header, listing.Entries);
  return listing;
}

}  // namespace

TSevenZipListing ListSevenZip(TSevenZipSource& source) {
  try {
    return List(source);
  } catch (const SevenZipHeaderError& error) {
    TSevenZipListing damaged;
    damaged.Status = TSevenZipStatus::Damaged;
    damaged.Problem = error.what();
    return damaged;
  }
}

void ReadSevenZipDirectory(const std::string& path, std::vector<TCmpRecord>& entries) {
  TSevenZipVolumes volumes(SevenZipVolumePaths(path));
  TSevenZipListing listing = ListSevenZip(volumes);
  for (TCmpRecord& entry : listing.Entries) entries.push_back(std::move(entry));
}

bool IsLaterSevenZipVolume(const std::string& path) {
  const std::vector<std::string> volumes = SevenZipVolumePaths(path);
  return volumes.size() > 1 && volumes[0] != path && ReadSignature(volumes[0]) == kSevenZipSignature;
}

}  // namespace vexmoor
