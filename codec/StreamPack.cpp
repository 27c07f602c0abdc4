// The packer: at each position it plans the next few codes as a cheapest
// path over the next four positions. The ways considered are single bytes,
// the last offset again, and the matches found here and one, two and three
// positions later, each in full or cut short where it lands on one of those
// positions, all priced in exact bits with the match flag and last offset
// that the way leads to. A way that ends beyond the four positions is
// credited for how far it reaches, at a little more than what a byte has
// cost on average so far. The packer emits the first code of the cheapest
// way and plans again where that code ends.
#include "codec/StreamPack.h"

#include <algorithm>

#include "codec/ApCost.h"
#include "codec/BitWriter.h"
#include "codec/CodeWriter.h"
#include "codec/MatchFinder.h"

namespace vexmoor::ap {

namespace {

// Matches of this length and more are taken without looking further.
constexpr uint32_t kLazyLimit = 64;
// A search stops at a match this long.
constexpr uint32_t kNiceLength = 256;
// The positions a plan spans: here and the next three.
constexpr uint32_t kPlanSpan = 4;
// How many candidates in a row that are no longer than the best so far a
// search at each position of the plan looks at before it gives up (0: all
// up to kMaxCandidates). The later positions matter only when they lead to
// a better way than the match here. Measured on English text against no
// limit: 15% fewer instructions for 0.14% more output.
constexpr uint32_t kPatience[kPlanSpan] = {0, 256, 64, 64};
static_assert(kPlanSpan <= TMatchFinder::kMaxBatch);
// The chains take in the plan's positions before the searches there, so
// the ring must keep a window's links beyond them.
static_assert(kRingEntries >= kMaxOffset + kPlanSpan);

// One code: a single byte (offset 0, length 1), or a match or reuse.
struct Code {
  uint32_t length = 1;
  uint32_t offset = 0;
};

// The cheapest way found to a position inside the plan.
struct Node {
  uint32_t bits = UINT32_MAX;  // UINT32_MAX: not reached
  uint32_t lastOffset = 0;
  bool afterMatch = false;
  Code first;  // the way's first code
};

class TPacker {
 public:
  TPacker(const uint8_t* input, uint32_t size, uint8_t* output, uint8_t* work)
      : in_(input), size_(size), finder_(input, size, work), out_(output) {}

  size_t Run() {
    out_.Byte(in_[0]);
    uint32_t position = 1;
    while (position < size_) {
      const Code code = Plan(position);
      if (code.offset == 0) {
        EmitByte(position);
      } else {
        EmitMatch(code);
      }
      position += code.length;
    }
    out_.Bits(0b110, 3);  // the end marker: a short match with offset 0
    out_.Byte(0);
    return out_.Size();
  }

 private:
  // What covering one more byte is worth when ways of different reach are
  // compared, in quarter bits: a quarter more than a byte has cost so far
  // on average (the bytes a way leaves uncovered are those the next code
  // must cover, often at more than the average). Measured: a quarter more
  // saves 0.3% on English text and 0.1% on dat text over the plain average.
  uint32_t ByteWorth(uint32_t position) const {
    return static_cast<uint32_t>(std::clamp<uint64_t>(40 * uint64_t(out_.Size()) / position, 4, 36));
  }

  // The search results for the plan's positions, each position searched
  // once; the positions not yet searched are searched together.
  void SearchPlan(uint32_t position) {
    Search searches[kPlanSpan];
    Matches* into[kPlanSpan];
    uint32_t count = 0;
    for (uint32_t k = 0; k < kPlanSpan && position + k < size_; ++k) {
      Cached& slot = cache_[(position + k) % kCacheSlots];
      if (slot.position == position + k) continue;
      slot.position = position + k;
      searches[count] = {position + k, kMaxCandidates, kNiceLength, kPatience[k]};
      into[count++] = &slot.found;
    }
    if (count == 0) return;
    finder_.InsertUpTo(position + kPlanSpan);
    Matches found[kPlanSpan];
    finder_.FindMany(searches, count, found);
    for (uint32_t i = 0; i < count; ++i) *into[i] = found[i];
  }

  const Matches& SearchedAt(uint32_t position) const { return cache_[position % kCacheSlots].found; }

  Code Plan(uint32_t position) {
    SearchPlan(position);
    const Matches& here = SearchedAt(position);
    if (here.count != 0 && here.rung[here.count - 1].length >= kLazyLimit) {
      return {here.rung[here.count - 1].length, here.rung[here.count - 1].offset};
    }
    worth_ = ByteWorth(position);
    plan_ = position;
    bestScore_ = INT64_MAX;
    best_ = Code{};
    for (Node& node : nodes_) node = Node{};
    nodes_[0] = {0, lastOffset_, afterMatch_, Code{}};
    for (uint32_t k = 0; k < kPlanSpan && position + k < size_; ++k) {
      if (nodes_[k].bits != UINT32_MAX) Expand(k);
    }
    return best_;
  }

  // Every code that can follow the way to the plan's k-th position.
  void Expand(uint32_t k) {
    const Node node = nodes_[k];
    const uint32_t at = plan_ + k;
    Reach(k, node, {1, 0}, node.bits + ByteBits(in_, at), false);
    const uint32_t last = node.lastOffset;
    if (!node.afterMatch && last != 0 && last <= at) {
      const uint32_t length = finder_.LengthAt(at, last, finder_.MaxLengthAt(at));
      for (uint32_t cut = 2; cut < length && at + cut < plan_ + kPlanSpan; ++cut) {
        Reach(k, node, {cut, last}, node.bits + ReuseBits(cut), true);
      }
      if (length >= 2) Reach(k, node, {length, last}, node.bits + ReuseBits(length), true);
    }
    const Matches& found = SearchedAt(at);
    uint32_t shorter = 1;
    for (uint32_t r = 0; r < found.count; ++r) {
      const Match& rung = found.rung[r];
      const uint32_t least = std::max(shorter + 1, MinMatchLength(rung.offset));
      for (uint32_t cut = least; cut < rung.length && at + cut < plan_ + kPlanSpan; ++cut) {
        Reach(k, node, {cut, rung.offset}, node.bits + Bits(node, rung.offset, cut), true);
      }
      Reach(k, node, {rung.length, rung.offset}, node.bits + Bits(node, rung.offset, rung.length), true);
      shorter = rung.length;
    }
  }

  // Bits of a match after the way to `node`: a reuse when it can be one.
  static uint32_t Bits(const Node& node, uint32_t offset, uint32_t length) {
    if (!node.afterMatch && offset == node.lastOffset) return ReuseBits(length);
    return MatchBits(offset, length, node.afterMatch);
  }

  // The way to the k-th position followed by `code`: a new way to a later
  // position of the plan, or one that leaves it, scored by its reach.
  void Reach(uint32_t k, const Node& from, Code code, uint32_t bits, bool afterMatch) {
    const Code first = k == 0 ? code : from.first;
    const uint32_t end = plan_ + k + code.length;
    const uint32_t lastOffset = code.offset != 0 ? code.offset : from.lastOffset;
    if (end - plan_ < kPlanSpan && end < size_) {
      Node& node = nodes_[end - plan_];
      if (bits < node.bits) node = {bits, lastOffset, afterMatch, first};
      return;
    }
    const int64_t score = 4 * int64_t(bits) - int64_t(worth_) * (end - plan_);
    if (score < bestScore_) {
      bestScore_ = score;
      best_ = first;
    }
  }

  // The distance back to an equal byte among the previous 15 (0: none).
  void EmitByte(uint32_t position) {
    WriteByteAt(out_, in_, position);
    afterMatch_ = false;
  }

  void EmitMatch(const Code& code) {
    if (!afterMatch_ && code.offset == lastOffset_) {
      WriteReuse(out_, code.length);
    } else {
      WriteMatch(out_, code.offset, code.length, afterMatch_);
    }
    lastOffset_ = code.offset;
    afterMatch_ = true;
  }

  static constexpr uint32_t kCacheSlots = 8;
  static_assert(kCacheSlots >= kPlanSpan);
  struct Cached {
    uint32_t position = UINT32_MAX;
    Matches found;
  };

  const uint8_t* in_;
  uint32_t size_;
  TMatchFinder finder_;
  TBitWriter out_;
  Cached cache_[kCacheSlots];
  uint32_t lastOffset_ = 0;  // 0: unset, so no reuse yet
  bool afterMatch_ = false;
  // The plan in progress.
  uint32_t plan_ = 0;
  uint32_t worth_ = 0;
  Node nodes_[kPlanSpan];
  int64_t bestScore_ = 0;
  Code best_;
};

}  // namespace

std::optional<size_t> PackStream(const uint8_t* input, size_t inputLength, uint8_t* output,
                                 uint8_t* workMemory) {
  if (input == nullptr || output == nullptr || workMemory == nullptr) return std::nullopt;
  if (inputLength > kMaxInputLength) return std::nullopt;
  if (inputLength == 0) return 0;
  TPacker packer(input, static_cast<uint32_t>(inputLength), output, workMemory);
  return packer.Run();
}

}  // namespace vexmoor::ap
