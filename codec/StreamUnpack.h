// The aPLib-format stream decoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace vexmoor::ap {

// Decodes `streamLength` bytes of compressed stream into `output`, which has
// room for `outputRoom` bytes, and returns the number of bytes decoded.
// Returns nullopt for any malformed stream: a byte needed past the stream's
// end, output past the room, an offset of 0 or beyond the bytes decoded so
// far, a reuse before any offset, a gamma value over 32 bits, a match offset
// whose high part is 2^24 or more, or a missing buffer. Bytes after the end
// marker are ignored. Never reads past the stream or writes past the room,
// allocates nothing and keeps no state; bytes of `output` beyond the decoded
// length may be overwritten (long copies move 16 bytes at a time).
std::optional<size_t> UnpackStream(const uint8_t* stream, size_t streamLength, uint8_t* output,
                                   size_t outputRoom);

}  // namespace vexmoor::ap
