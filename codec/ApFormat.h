// Constants of the "AP32" compressed block and its aPLib-format stream.
// The layout is documented in docs/formats/ap32-block.md.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vexmoor::ap {

// Block header: six little-endian 32-bit fields.
constexpr uint8_t kBlockTag[4] = {'A', 'P', '3', '2'};
constexpr uint32_t kHeaderSize = 24;
constexpr size_t kTagField = 0;
constexpr size_t kHeaderSizeField = 4;
constexpr size_t kPackedSizeField = 8;
constexpr size_t kPackedCrcField = 12;
constexpr size_t kUnpackedSizeField = 16;
constexpr size_t kUnpackedCrcField = 20;

// The packer's work area and how it is divided.
constexpr size_t kWorkMemorySize = 655360;
constexpr size_t kHeadEntries = 65536;  // one chain per two-byte key
constexpr size_t kRingEntries = 92160;  // 0x16800 chain links
constexpr size_t kPairCounts = 12288;   // the rest: 16-bit counts of the pairs within the window
constexpr uint32_t kMaxOffset = 91904;  // 0x16700
constexpr uint32_t kMaxLength = 91904;
constexpr uint32_t kMaxCandidates = 2048;

// Offsets at which a match needs a longer minimum length.
constexpr uint32_t kShortOffsetLimit = 128;   // below: lengths 2 and 3 only as a short match
constexpr uint32_t kNearOffsetLimit = 1280;   // from here: length 3 and more
constexpr uint32_t kFarOffsetLimit = 32000;   // from here: length 4 and more
constexpr uint32_t kSingleByteReach = 15;     // single-byte code looks 1..15 back

// Worst case of a stream for `inputLength` bytes, and of a whole block.
constexpr uint64_t StreamBound(uint64_t inputLength) { return inputLength + (inputLength >> 3) + 40; }
constexpr uint64_t BlockBound(uint64_t inputLength) { return inputLength + (inputLength >> 3) + 64; }

}  // namespace vexmoor::ap
