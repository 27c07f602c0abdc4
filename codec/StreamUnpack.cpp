#include "codec/StreamUnpack.h"

#include <cstring>

#include "codec/ApFormat.h"

namespace vexmoor::ap {

namespace {

// Reads tag bits and data bytes from the stream. A read past the end yields
// zeros and sets `overrun`; the decoder checks it before it trusts a value,
// which keeps the checks off the per-bit path.
class TBitReader {
 public:
  TBitReader(const uint8_t* data, size_t size) : in_(data), end_(data + size) {}

  uint32_t Byte() {
    if (in_ == end_) [[unlikely]] {
      overrun_ = true;
      return 0;
    }
    return *in_++;
  }

  // Tag bits sit above a marker bit; when only the marker is left, the next
  // stream byte becomes the tag.
  uint32_t Bit() {
    if (tag_ == kEmpty) tag_ = (Byte() << 24) | (kEmpty >> 8);
    const uint32_t bit = tag_ >> 31;
    tag_ <<= 1;
    return bit;
  }

  // Returns 0 (never a valid gamma value) when the value overflows 32 bits.
  uint32_t Gamma() {
    uint32_t value = 1;
    do {
      if (value & 0x80000000u) [[unlikely]] return 0;
      value = (value << 1) | Bit();
    } while (Bit());
    return value;
  }

  uint32_t Bits4() {
    uint32_t value = Bit() << 3;
    value |= Bit() << 2;
    value |= Bit() << 1;
    return value | Bit();
  }

  bool Overrun() const { return overrun_; }
  bool AtEnd() const { return in_ == end_; }
  // A data byte the caller has checked is there (not AtEnd).
  uint32_t TakeByte() { return *in_++; }

 private:
  static constexpr uint32_t kEmpty = 0x80000000u;
  const uint8_t* in_;
  const uint8_t* end_;
  uint32_t tag_ = kEmpty;
  bool overrun_ = false;
};

// Copies `length` bytes from `offset` back; the caller has checked that the
// offset lies within the output and the length within the room.
inline uint8_t* CopyMatch(uint8_t* out, const uint8_t* outEnd, size_t offset, size_t length) {
  const uint8_t* from = out - offset;
  uint8_t* const end = out + length;
  if (offset >= 16 && size_t(outEnd - out) >= length + 16) {
    do {
      std::memcpy(out, from, 16);
      out += 16;
      from += 16;
    } while (out < end);
    return end;
  }
  if (offset >= 8 && size_t(outEnd - out) >= length + 8) {
    do {
      std::memcpy(out, from, 8);
      out += 8;
      from += 8;
    } while (out < end);
    return end;
  }
  while (out < end) *out++ = *from++;
  return end;
}

// Adds the implied length of a match at `offset`: long offsets need longer
// matches to pay off, and offsets below 128 take lengths 2 and 3 from the
// short-match code.
inline uint64_t AdjustLength(uint64_t length, uint32_t offset) {
  // Sums of comparisons rather than branches: which case applies follows
  // the data, and branches on it would be badly predicted.
  return length + uint64_t(offset >= kFarOffsetLimit) + uint64_t(offset >= kNearOffsetLimit) +
         2 * uint64_t(offset < kShortOffsetLimit);
}

}  // namespace

std::optional<size_t> UnpackStream(const uint8_t* stream, size_t streamLength, uint8_t* output,
                                   size_t outputRoom) {
  if (stream == nullptr || output == nullptr || streamLength == 0 || outputRoom == 0) {
    return std::nullopt;
  }
  TBitReader reader(stream + 1, streamLength - 1);
  uint8_t* out = output;
  uint8_t* const outEnd = output + outputRoom;
  *out++ = stream[0];
  uint32_t lastOffset = 0;  // 0: unset
  bool afterMatch = false;

  // A copy is valid when everything it was built from lies in the stream,
  // its offset within the output so far and its length within the room.
  const auto copyFits = [&](uint32_t offset, uint64_t length) {
    // offset - 1 wraps for an offset of 0, so one test covers 1..written
    // (and gives the compiler no test for 0 to split the paths on).
    return !reader.Overrun() && size_t(offset) - 1 < size_t(out - output) && length <= uint64_t(outEnd - out);
  };

  for (;;) {
    if (reader.Bit() == 0) {  // literal
      // An overrun leaves the reader at the end, so one test covers both.
      if (reader.AtEnd() || out == outEnd) [[unlikely]] return std::nullopt;
      *out++ = static_cast<uint8_t>(reader.TakeByte());
      afterMatch = false;
    } else if (reader.Bit() == 0) {  // match or reuse
      const uint32_t gamma = reader.Gamma();
      if (gamma == 0) [[unlikely]] return std::nullopt;
      // One test for "a reuse": g = 2 directly after a literal or single.
      const uint32_t high = gamma - 3 + uint32_t(afterMatch);
      if (high == UINT32_MAX) {
        const uint32_t length = reader.Gamma();
        if (length == 0 || !copyFits(lastOffset, length)) [[unlikely]] return std::nullopt;
        out = CopyMatch(out, outEnd, lastOffset, length);
      } else {
        if (high >= (1u << 24)) [[unlikely]] return std::nullopt;
        const uint32_t offset = (high << 8) | reader.Byte();
        const uint32_t coded = reader.Gamma();
        if (coded == 0) [[unlikely]] return std::nullopt;
        const uint64_t length = AdjustLength(coded, offset);
        if (!copyFits(offset, length)) [[unlikely]] return std::nullopt;
        out = CopyMatch(out, outEnd, offset, length);
        lastOffset = offset;
      }
      afterMatch = true;
    } else if (reader.Bit() == 0) {  // short match or end marker
      const uint32_t byte = reader.Byte();
      const uint32_t offset = byte >> 1;
      if (reader.Overrun()) [[unlikely]] return std::nullopt;
      if (offset == 0) break;
      const uint32_t length = 2 + (byte & 1);
      if (!copyFits(offset, length)) [[unlikely]] return std::nullopt;
      out = CopyMatch(out, outEnd, offset, length);
      lastOffset = offset;
      afterMatch = true;
    } else {  // single byte: zero, or one of the previous 15
      const uint32_t distance = reader.Bits4();
      if (reader.Overrun() || out == outEnd || distance > size_t(out - output)) [[unlikely]] return std::nullopt;
      *out = distance == 0 ? 0 : out[-ptrdiff_t(distance)];
      ++out;
      afterMatch = false;
    }
  }
  return size_t(out - output);
}

}  // namespace vexmoor::ap
