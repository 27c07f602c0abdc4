// The 7z header database, parsed from the bytes of one header: the streams
// (packed streams, folders of coders, the sub-streams each folder unpacks
// to) and the files. Only what listing needs is kept; everything else is
// stepped over by its stored size.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/Errors.h"

namespace vexmoor {

// A header that does not follow the format: a count, size or offset beyond
// the header's bytes, an unknown property where a known one must stand, or
// streams that disagree with the files.
class SevenZipHeaderError : public FormatError {
 public:
  using FormatError::FormatError;
};

struct TSevenZipCoder {
  uint64_t MethodId = 0;  // the stored ID bytes read big-endian
  uint64_t NumInStreams = 1;
  uint64_t NumOutStreams = 1;
  std::vector<uint8_t> Properties;
};

struct TSevenZipBindPair {
  uint64_t InIndex = 0;
  uint64_t OutIndex = 0;
};

struct TSevenZipFolder {
  std::vector<TSevenZipCoder> Coders;
  std::vector<TSevenZipBindPair> BindPairs;
  uint64_t NumPackedStreams = 1;
  std::vector<uint64_t> UnpackSizes;  // one per coder output stream
  std::optional<uint32_t> Crc;        // of the folder's whole output
  uint64_t NumSubStreams = 1;
  // The size of the output stream no bind pair consumes: the folder's data.
  uint64_t UnpackSize = 0;
};

struct TSevenZipStreams {
  uint64_t PackPos = 0;  // from the end of the signature header
  std::vector<uint64_t> PackSizes;
  std::vector<TSevenZipFolder> Folders;
  // One per sub-stream, folder after folder; a CRC is absent when neither
  // the sub-stream nor (for a folder of one stream) the folder stores one.
  std::vector<uint64_t> SubStreamSizes;
  std::vector<std::optional<uint32_t>> SubStreamCrcs;
};

struct TSevenZipFile {
  std::string Name;  // UTF-8 of the stored UTF-16LE name
  bool HasStream = true;
  bool IsEmptyFile = false;  // an empty-stream item that is a file, not a folder
  bool IsAnti = false;       // marks a deletion in an update; holds nothing
  std::optional<uint32_t> Attributes;

  bool IsDirectory() const;
};

struct TSevenZipHeader {
  TSevenZipStreams MainStreams;
  std::vector<TSevenZipFile> Files;
};

// What the next header holds: the header itself, or (Encoded) the streams
// that pack it.
struct TSevenZipNextHeader {
  bool Encoded = false;
  TSevenZipStreams EncodedStreams;
  TSevenZipHeader Header;
};

// Parses the header bytes. An encoded header is accepted only when
// `allowEncoded` (a header unpacked from one must be plain: no nesting).
// Every count, size and index is checked against the bytes before use, so
// memory stays within a small multiple of `bytes.size()`. Throws
// SevenZipHeaderError.
TSevenZipNextHeader ParseSevenZipHeader(std::span<const uint8_t> bytes, bool allowEncoded);

// UTF-16LE to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16LeToUtf8(std::span<const uint8_t> bytes);

}  // namespace vexmoor
