// Writes an aPLib-format stream: data bytes in order, and tag bits into the
// tag byte that is reserved in the output when the first of its bits comes.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace vexmoor::ap {

class TBitWriter {
 public:
  // The caller guarantees room for everything written.
  explicit TBitWriter(uint8_t* output) : out_(output) {}

  void Byte(uint32_t value) { out_[size_++] = static_cast<uint8_t>(value); }

  void Bit(uint32_t bit) {
    if (bitsLeft_ == 0) {
      tag_ = size_++;
      out_[tag_] = 0;
      bitsLeft_ = 8;
    }
    --bitsLeft_;
    out_[tag_] |= static_cast<uint8_t>(bit << bitsLeft_);
  }

  void Bits(uint32_t value, int count) {
    for (int bit = count - 1; bit >= 0; --bit) Bit((value >> bit) & 1);
  }

  // A gamma value (at least 2): the digits after the leading 1, each
  // followed by 1 when more digits follow and 0 after the last.
  void Gamma(uint32_t value) {
    for (int digit = std::bit_width(value) - 2; digit >= 0; --digit) {
      Bit((value >> digit) & 1);
      Bit(digit > 0 ? 1 : 0);
    }
  }

  size_t Size() const { return size_; }

 private:
  uint8_t* out_;
  size_t size_ = 0;
  size_t tag_ = 0;
  uint32_t bitsLeft_ = 0;  // unused bits of the tag byte at tag_
};

}  // namespace vexmoor::ap
