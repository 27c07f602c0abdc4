// The packer: a lazy parse over the match finder's results. At each position
// it weighs the best match there (or a reuse of the last offset) against
// coding one, two or three bytes singly and taking the best match after them.
#include "codec/StreamPack.h"

#include "codec/ApCost.h"
#include "codec/MatchFinder.h"

namespace vexmoor::ap {

namespace {

// Writes the stream: data bytes in order, tag bits into the tag byte that
// was reserved in the output when the first of its bits came.
class BitWriter {
 public:
  explicit BitWriter(uint8_t* output) : out_(output) {}

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

  // The digits after the leading 1, each followed by "more digits follow".
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
  uint32_t bitsLeft_ = 0;
};

// A way to code the bytes at a position with one match-type code.
struct Option {
  uint32_t length = 0;  // 0: none
  uint32_t offset = 0;
  uint32_t bits = 0;
  int32_t Gain() const { return MatchGain(length, bits); }
};

// Matches shorter than this are compared with the positions after them.
constexpr uint32_t kLazyLimit = 64;
constexpr uint32_t kNiceLength = 256;
constexpr uint32_t kLookahead = 3;

class Packer {
 public:
  Packer(const uint8_t* input, uint32_t size, uint8_t* output, uint8_t* work)
      : in_(input), size_(size), finder_(input, size, work), out_(output) {}

  size_t Run() {
    out_.Byte(in_[0]);
    uint32_t position = 1;
    while (position < size_) {
      const Option here = BestAt(position, afterMatch_);
      if (here.length != 0 && !LaterIsBetter(position, here)) {
        EmitMatch(here);
        position += here.length;
      } else {
        EmitByte(position++);
      }
    }
    out_.Bit(1);  // end marker: a short match with offset 0
    out_.Bit(1);
    out_.Bit(0);
    out_.Byte(0);
    return out_.Size();
  }

 private:
  // The chain's best match at `position`, searched once and kept for the
  // look-ahead of the positions before it.
  Match ChainMatch(uint32_t position) {
    Cached& slot = cache_[position % kLookahead1];
    if (slot.position != position) {
      finder_.InsertUpTo(position);
      slot = {position, finder_.Find(position, kMaxCandidates, kNiceLength)};
    }
    return slot.match;
  }

  Option BestAt(uint32_t position, bool afterMatch) {
    Option best;
    const Match match = ChainMatch(position);
    if (match.length != 0) best = Priced(match.offset, match.length, afterMatch);
    if (lastOffset_ != 0 && lastOffset_ <= position) {
      const uint32_t length = finder_.LengthAt(position, lastOffset_, finder_.MaxLengthAt(position));
      if (length >= 2 && (!afterMatch || length >= MinMatchLength(lastOffset_))) {
        const Option reuse = Priced(lastOffset_, length, afterMatch);
        if (best.length == 0 || reuse.Gain() > best.Gain()) best = reuse;
      }
    }
    return best;
  }

  Option Priced(uint32_t offset, uint32_t length, bool afterMatch) const {
    const bool reuse = !afterMatch && offset == lastOffset_;
    return {length, offset, reuse ? ReuseBits(length) : MatchBits(offset, length, afterMatch)};
  }

  // True when coding bytes singly first leads to a better match.
  bool LaterIsBetter(uint32_t position, const Option& here) {
    if (here.length >= kLazyLimit) return false;
    int32_t singles = 0;
    for (uint32_t ahead = 1; ahead <= kLookahead && position + ahead < size_; ++ahead) {
      singles += int32_t(kByteWorth) - int32_t(ByteBits(position + ahead - 1));
      const Option later = BestAt(position + ahead, false);
      if (later.length != 0 && singles + later.Gain() > here.Gain()) return true;
    }
    return false;
  }

  // The distance back to an equal byte among the previous 15 (0: none).
  uint32_t NearDistance(uint32_t position) const {
    const uint32_t reach = position < kSingleByteReach ? position : kSingleByteReach;
    for (uint32_t distance = 1; distance <= reach; ++distance) {
      if (in_[position - distance] == in_[position]) return distance;
    }
    return 0;
  }

  uint32_t ByteBits(uint32_t position) const {
    return (in_[position] == 0 || NearDistance(position) != 0) ? kSingleByteBits : kLiteralBits;
  }

  void EmitByte(uint32_t position) {
    const uint32_t distance = in_[position] == 0 ? 0 : NearDistance(position);
    if (in_[position] == 0 || distance != 0) {
      out_.Bit(1);
      out_.Bit(1);
      out_.Bit(1);
      for (int bit = 3; bit >= 0; --bit) out_.Bit((distance >> bit) & 1);
    } else {
      out_.Bit(0);
      out_.Byte(in_[position]);
    }
    afterMatch_ = false;
  }

  void EmitMatch(const Option& option) {
    if (!afterMatch_ && option.offset == lastOffset_) {
      out_.Bit(1);
      out_.Bit(0);
      out_.Gamma(2);
      out_.Gamma(option.length);
    } else if (IsShortMatch(option.offset, option.length)) {
      out_.Bit(1);
      out_.Bit(1);
      out_.Bit(0);
      out_.Byte((option.offset << 1) | (option.length - 2));
    } else {
      out_.Bit(1);
      out_.Bit(0);
      out_.Gamma((option.offset >> 8) + (afterMatch_ ? 2 : 3));
      out_.Byte(option.offset & 0xFF);
      out_.Gamma(CodedLength(option.offset, option.length));
    }
    lastOffset_ = option.offset;
    afterMatch_ = true;
  }

  static constexpr uint32_t kLookahead1 = kLookahead + 1;
  struct Cached {
    uint32_t position = UINT32_MAX;
    Match match;
  };

  const uint8_t* in_;
  uint32_t size_;
  MatchFinder finder_;
  BitWriter out_;
  Cached cache_[kLookahead1];
  uint32_t lastOffset_ = 0;  // 0: unset, so no reuse yet
  bool afterMatch_ = false;
};

}  // namespace

std::optional<size_t> PackStream(const uint8_t* input, size_t inputLength, uint8_t* output,
                                 uint8_t* workMemory) {
  if (input == nullptr || output == nullptr || workMemory == nullptr) return std::nullopt;
  if (inputLength > UINT32_MAX) return std::nullopt;
  if (inputLength == 0) return 0;
  Packer packer(input, static_cast<uint32_t>(inputLength), output, workMemory);
  return packer.Run();
}

}  // namespace vexmoor::ap
