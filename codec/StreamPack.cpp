// The packer: a lazy parse over the match finder's results. At each position
// it weighs the best match there (or a reuse of the last offset) against
// coding the byte singly and taking the best match at the next position,
// by the bits per byte each coding costs.
#include "codec/StreamPack.h"

#include <algorithm>

#include "codec/ApCost.h"
#include "codec/BitWriter.h"
#include "codec/MatchFinder.h"

namespace vexmoor::ap {

namespace {

// A way to code the bytes at a position with one match-type code.
struct Option {
  uint32_t length = 0;  // 0: none
  uint32_t offset = 0;
  uint32_t bits = 0;
  int32_t Gain(uint32_t worth) const { return MatchGain(length, bits, worth); }
};

// Matches of this length and more are taken without looking further.
constexpr uint32_t kLazyLimit = 64;
// A search stops at a match this long.
constexpr uint32_t kNiceLength = 256;
// How many positions after a match the parse looks at. Looking two and
// three positions ahead as well, weighing each way to the end of the later
// match (the match here and then the rest of the later one, found by a
// search there; singles and then the later match; the match here cut short
// where the later one starts), saved 0.2% on English text and 0.7% on dat
// text but searched 1.8 times as many positions and packed at half the speed.
constexpr uint32_t kLookahead = 1;
// A match must save this many bits over coding its bytes singly: a single
// byte keeps the cheap reuse of the last offset open for the next code.
constexpr uint32_t kMatchMargin = 1;

class Packer {
 public:
  Packer(const uint8_t* input, uint32_t size, uint8_t* output, uint8_t* work)
      : in_(input), size_(size), finder_(input, size, work), out_(output) {}

  size_t Run() {
    out_.Byte(in_[0]);
    uint32_t position = 1;
    while (position < size_) {
      worth_ = ByteWorth(position);
      const Option here = BestAt(position, afterMatch_);
      if (here.length != 0 && BeatsSingles(position, here) && !LaterIsBetter(position, here)) {
        EmitMatch(here);
        position += here.length;
      } else {
        EmitByte(position++);
      }
    }
    out_.Bits(0b110, 3);  // the end marker: a short match with offset 0
    out_.Byte(0);
    return out_.Size();
  }

 private:
  // What covering one more byte is worth when options of different lengths
  // are compared, in quarter bits: what a byte has cost so far on average.
  uint32_t ByteWorth(uint32_t position) const {
    return static_cast<uint32_t>(std::clamp<uint64_t>(32 * uint64_t(out_.Size()) / position, 4, 36));
  }

  // The chain's best match at `position`, searched once and kept for the
  // look-ahead. The position after it is almost always wanted next, so the
  // two are searched together, which overlaps their chain walks.
  Match ChainMatch(uint32_t position) {
    Cached& slot = cache_[position % kCacheSlots];
    if (slot.position == position) return slot.match;
    Cached& following = cache_[(position + 1) % kCacheSlots];
    if (position + 2 < size_ && following.position != position + 1) {
      finder_.InsertUpTo(position + 1);
      Match first, second;
      finder_.FindTwo(position, position + 1, kMaxCandidates, kNiceLength, first, second);
      slot = {position, first};
      following = {position + 1, second};
    } else {
      finder_.InsertUpTo(position);
      slot = {position, finder_.Find(position, kMaxCandidates, kNiceLength)};
    }
    return slot.match;
  }

  // The best match-type code at `position`: the chain's match, or the last
  // offset again (as a reuse when the code before was not a match).
  Option BestAt(uint32_t position, bool afterMatch) {
    Option best;
    const Match match = ChainMatch(position);
    if (match.length != 0) best = Priced(match.offset, match.length, afterMatch);
    if (lastOffset_ != 0 && lastOffset_ <= position) {
      const uint32_t length = finder_.LengthAt(position, lastOffset_, finder_.MaxLengthAt(position));
      if (length >= 2 && (!afterMatch || length >= MinMatchLength(lastOffset_))) {
        const Option again = Priced(lastOffset_, length, afterMatch);
        if (best.length == 0 || again.Gain(worth_) > best.Gain(worth_)) best = again;
      }
    }
    return best;
  }

  Option Priced(uint32_t offset, uint32_t length, bool afterMatch) const {
    const bool reuse = !afterMatch && offset == lastOffset_;
    return {length, offset, reuse ? ReuseBits(length) : MatchBits(offset, length, afterMatch)};
  }

  // True when coding bytes singly first leads to a match that costs fewer
  // bits per byte covered, the singles included.
  bool LaterIsBetter(uint32_t position, const Option& here) {
    if (here.length >= kLazyLimit) return false;
    uint32_t singles = 0;
    for (uint32_t ahead = 1; ahead <= kLookahead && position + ahead < size_; ++ahead) {
      singles += ByteBits(position + ahead - 1);
      const Option later = BestAt(position + ahead, false);
      if (later.length == 0) continue;
      // (singles + later.bits) / (ahead + later.length) < here.bits / here.length
      if (uint64_t(singles + later.bits) * here.length < uint64_t(here.bits) * (ahead + later.length)) {
        return true;
      }
    }
    return false;
  }

  bool BeatsSingles(uint32_t position, const Option& option) const {
    const uint32_t bits = option.bits + kMatchMargin;
    if (bits < kSingleByteBits * option.length) return true;
    uint32_t singly = 0;
    for (uint32_t i = 0; i < option.length; ++i) singly += ByteBits(position + i);
    return bits < singly;
  }

  // The distance back to an equal byte among the previous 15 (0: none).
  uint32_t NearDistance(uint32_t position) const {
    const uint32_t reach = std::min(position, kSingleByteReach);
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
      out_.Bits(0b111, 3);
      out_.Bits(distance, 4);
    } else {
      out_.Bit(0);
      out_.Byte(in_[position]);
    }
    afterMatch_ = false;
  }

  void EmitMatch(const Option& option) {
    if (!afterMatch_ && option.offset == lastOffset_) {
      out_.Bits(0b10, 2);
      out_.Gamma(2);
      out_.Gamma(option.length);
    } else if (IsShortMatch(option.offset, option.length)) {
      out_.Bits(0b110, 3);
      out_.Byte((option.offset << 1) | (option.length - 2));
    } else {
      out_.Bits(0b10, 2);
      out_.Gamma((option.offset >> 8) + (afterMatch_ ? 2 : 3));
      out_.Byte(option.offset & 0xFF);
      out_.Gamma(CodedLength(option.offset, option.length));
    }
    lastOffset_ = option.offset;
    afterMatch_ = true;
  }

  static constexpr uint32_t kCacheSlots = 4;
  struct Cached {
    uint32_t position = UINT32_MAX;
    Match match;
  };

  const uint8_t* in_;
  uint32_t size_;
  MatchFinder finder_;
  BitWriter out_;
  Cached cache_[kCacheSlots];
  uint32_t worth_ = 0;
  uint32_t lastOffset_ = 0;  // 0: unset, so no reuse yet
  bool afterMatch_ = false;
};

}  // namespace

std::optional<size_t> PackStream(const uint8_t* input, size_t inputLength, uint8_t* output,
                                 uint8_t* workMemory) {
  if (input == nullptr || output == nullptr || workMemory == nullptr) return std::nullopt;
  if (inputLength > kMaxInputLength) return std::nullopt;
  if (inputLength == 0) return 0;
  Packer packer(input, static_cast<uint32_t>(inputLength), output, workMemory);
  return packer.Run();
}

}  // namespace vexmoor::ap
