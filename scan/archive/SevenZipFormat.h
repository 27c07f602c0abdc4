// Constants of the 7z archive format: the signature header, the property
// IDs of the header database and the coder IDs the reader tells apart.
// docs/formats/7z-headers.md describes the layout.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vexmoor::sevenzip {

// "7z" BC AF 27 1C, then a two-byte version whose major number is 0.
inline constexpr uint8_t kSignature[6] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
// Signature, version, start-header CRC, next-header offset, size and CRC.
inline constexpr size_t kSignatureHeaderSize = 32;
// The largest header the reader accepts, stored or unpacked.
inline constexpr uint64_t kMaxHeaderSize = uint64_t{64} << 20;
// Coders and streams one folder may have, as 7-Zip itself allows.
inline constexpr uint64_t kMaxCoders = 64;
inline constexpr uint64_t kMaxCoderStreams = 64;

enum TPropertyId : uint8_t {
  kEnd = 0x00,
  kHeader = 0x01,
  kArchiveProperties = 0x02,
  kAdditionalStreamsInfo = 0x03,
  kMainStreamsInfo = 0x04,
  kFilesInfo = 0x05,
  kPackInfo = 0x06,
  kUnPackInfo = 0x07,
  kSubStreamsInfo = 0x08,
  kSize = 0x09,
  kCRC = 0x0A,
  kFolder = 0x0B,
  kCodersUnPackSize = 0x0C,
  kNumUnPackStream = 0x0D,
  kEmptyStream = 0x0E,
  kEmptyFile = 0x0F,
  kAnti = 0x10,
  kName = 0x11,
  kWinAttributes = 0x15,
  kEncodedHeader = 0x17,
  kDummy = 0x19,
};

// Coder IDs, the stored bytes read as one big-endian number.
inline constexpr uint64_t kCopyCoder = 0x00;
inline constexpr uint64_t kLzma2Coder = 0x21;
inline constexpr uint64_t kLzmaCoder = 0x030101;
inline constexpr uint64_t kAesCoder = 0x06F10701;

// The directory bit of the Windows attributes a file may carry.
inline constexpr uint32_t kDirectoryAttribute = 0x10;

}  // namespace vexmoor::sevenzip
