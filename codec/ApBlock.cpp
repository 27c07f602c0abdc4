// The block header around the stream: building it, probing it and checking
// it before and after decoding.
#include <cstring>

#include "codec/ApFormat.h"
#include "codec/StreamPack.h"
#include "codec/StreamUnpack.h"
#include "codec/aPLib.h"
#include "scan/crc32/Crc32Core.h"

namespace vexmoor {

namespace {

uint32_t Field(const uint8_t* block, size_t offset) {
  const uint8_t* p = block + offset;
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void SetField(uint8_t* block, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) block[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// The block's CRC-32: a missing buffer or an empty one gives 0.
uint32_t BlockCrc(const uint8_t* data, size_t size) {
  return (data == nullptr || size == 0) ? 0 : Crc32(data, size);
}

}  // namespace

std::optional<uint32_t> GetUnpackedSize(const void* block, size_t blockLength) {
  const auto* bytes = static_cast<const uint8_t*>(block);
  if (bytes == nullptr || blockLength < ap::kHeaderSize) return std::nullopt;
  if (std::memcmp(bytes + ap::kTagField, ap::kBlockTag, 4) != 0) return std::nullopt;
  if (Field(bytes, ap::kHeaderSizeField) < ap::kHeaderSize) return std::nullopt;
  return Field(bytes, ap::kUnpackedSizeField);
}

std::optional<uint32_t> UnpackBlock(const void* block, size_t blockLength, void* output,
                                    size_t outputRoom) {
  const auto* bytes = static_cast<const uint8_t*>(block);
  if (output == nullptr || !GetUnpackedSize(block, blockLength)) return std::nullopt;
  const size_t headerSize = Field(bytes, ap::kHeaderSizeField);
  const size_t packedSize = Field(bytes, ap::kPackedSizeField);
  const uint32_t unpackedSize = Field(bytes, ap::kUnpackedSizeField);
  if (blockLength < headerSize || packedSize > blockLength - headerSize) return std::nullopt;
  const uint8_t* stream = bytes + headerSize;
  if (BlockCrc(stream, packedSize) != Field(bytes, ap::kPackedCrcField)) return std::nullopt;
  if (unpackedSize > outputRoom) return std::nullopt;
  auto* out = static_cast<uint8_t*>(output);
  const auto decoded = ap::UnpackStream(stream, packedSize, out, outputRoom);
  if (!decoded || *decoded != unpackedSize) return std::nullopt;
  if (BlockCrc(out, unpackedSize) != Field(bytes, ap::kUnpackedCrcField)) return std::nullopt;
  return unpackedSize;
}

std::optional<size_t> PackBlock(const void* input, void* output, size_t inputLength,
                                void* workMemory) {
  const auto* in = static_cast<const uint8_t*>(input);
  auto* out = static_cast<uint8_t*>(output);
  if (in == nullptr || out == nullptr || inputLength == 0) return std::nullopt;
  if (ap::BlockBound(inputLength) > UINT32_MAX) return std::nullopt;
  std::memcpy(out + ap::kTagField, ap::kBlockTag, 4);
  SetField(out, ap::kHeaderSizeField, ap::kHeaderSize);
  SetField(out, ap::kUnpackedSizeField, static_cast<uint32_t>(inputLength));
  SetField(out, ap::kUnpackedCrcField, BlockCrc(in, inputLength));
  uint8_t* stream = out + ap::kHeaderSize;
  const auto packed = ap::PackStream(in, inputLength, stream, static_cast<uint8_t*>(workMemory));
  if (!packed) return std::nullopt;
  SetField(out, ap::kPackedSizeField, static_cast<uint32_t>(*packed));
  SetField(out, ap::kPackedCrcField, BlockCrc(stream, *packed));
  return ap::kHeaderSize + *packed;
}

}  // namespace vexmoor
