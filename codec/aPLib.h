// The "AP32" compressed block and the component that packs and unpacks whole
// buffers with it. A block is a 24-byte header (tag "AP32", header size,
// packed size and CRC, unpacked size and CRC) followed by an aPLib-format
// stream; see docs/formats/ap32-block.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace vexmoor {

// The unpacked size field of a block, reading only its header; nullopt ("not
// packed") when the block is shorter than 24 bytes, does not begin with
// "AP32" or gives a header size below 24.
std::optional<uint32_t> GetUnpackedSize(const void* block, size_t blockLength);

// Checks the header and both CRCs and decodes the stream into `output`
// (room for `outputRoom` bytes). Returns the unpacked size, or nullopt when
// any check fails or the stream decodes to another number of bytes. Bytes of
// `output` past the unpacked size may be overwritten.
std::optional<uint32_t> UnpackBlock(const void* block, size_t blockLength, void* output,
                                    size_t outputRoom);

// Packs `inputLength` bytes into a whole block at `output`, which needs room
// for inputLength + (inputLength >> 3) + 64 bytes; `workMemory` is the
// packer's 655360-byte work area. Returns the block length (24 + packed
// size), or nullopt for a missing buffer, an empty input or an input too
// large for the header's 32-bit fields.
std::optional<size_t> PackBlock(const void* input, void* output, size_t inputLength,
                                void* workMemory);

// Packs and unpacks whole buffers: set Source and Length, call Pack or
// UnPack, then read Length bytes at Destination. Destination stays valid
// until the next call or the component's end. Failures throw vexmoor::Error
// (FormatError for input that is not a valid block) with the messages "Out
// of memory", "Compression error", "File is not packed with aPLib" and
// "Decompression error"; Destination is then null and the component stays
// usable.
class TaPLib {
 public:
  TaPLib();
  ~TaPLib();
  TaPLib(const TaPLib&) = delete;
  TaPLib& operator=(const TaPLib&) = delete;

  // Makes a whole block (header and stream) of the Length bytes at Source.
  void Pack();
  // Decodes the block of Length bytes at Source.
  void UnPack();

  // Before a call, the number of bytes at Source; after a successful call,
  // the number of bytes at Destination.
  uint32_t Length = 0;
  // The input, owned by the caller, alive during the call.
  const void* Source = nullptr;
  // The output of the last successful call, owned by the component.
  const uint8_t* Destination = nullptr;

 private:
  void Release();

  std::unique_ptr<uint8_t[]> work_;
  std::unique_ptr<uint8_t[]> output_;
};

}  // namespace vexmoor
