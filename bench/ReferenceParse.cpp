#include "bench/ReferenceParse.h"

#include <algorithm>
#include <cstring>

#include "codec/ApCost.h"
#include "codec/ApFormat.h"
#include "codec/BitWriter.h"
#include "codec/CodeWriter.h"
#include "codec/StreamUnpack.h"

namespace vexmoor::bench {

namespace {

using namespace vexmoor::ap;

constexpr uint32_t kNone = UINT32_MAX;
constexpr uint32_t kCandidates = 8192;
constexpr size_t kOthers = 16;
// Lengths up to this are each tried; beyond it only a match's full length.
constexpr uint32_t kEveryLengthUpTo = 512;

struct Found {
  uint32_t length;
  uint32_t offset;
};

// Every earlier position with the same two (three) bytes, newest first.
class Chains {
 public:
  Chains(const std::string& input, uint32_t maxOffset)
      : maxOffset_(maxOffset),
        in_(reinterpret_cast<const uint8_t*>(input.data())),
        size_(uint32_t(input.size())),
        previous2_(size_, kNone),
        previous3_(size_, kNone) {
    std::vector<uint32_t> head2(1 << 16, kNone), head3(1 << 24, kNone);
    for (uint32_t i = 0; i + 1 < size_; ++i) {
      const uint32_t key2 = in_[i] | uint32_t(in_[i + 1]) << 8;
      previous2_[i] = head2[key2];
      head2[key2] = i;
      if (i + 2 < size_) {
        const uint32_t key3 = key2 | uint32_t(in_[i + 2]) << 16;
        previous3_[i] = head3[key3];
        head3[key3] = i;
      }
    }
  }

  uint32_t Common(uint32_t position, uint32_t offset, uint32_t limit) const {
    uint32_t length = 0;
    while (length < limit && in_[position + length] == in_[position + length - offset]) ++length;
    return length;
  }

  // The nearest offset for each length (lengths rise with the offsets), and
  // a few more matches of three bytes or more further back: a match at one
  // of those may leave a last offset that a later reuse wants.
  void Find(uint32_t position, std::vector<Found>& found, std::vector<Found>& others) const {
    found.clear();
    others.clear();
    const uint32_t maxLength = std::min(kMaxLength, size_ - position);
    if (maxLength < 2) return;
    uint32_t best = 1;
    const auto consider = [&](uint32_t candidate) {
      const uint32_t offset = position - candidate;
      const uint32_t length = Common(position, offset, maxLength);
      if (length >= 3 && length <= best && others.size() < kOthers) others.push_back({length, offset});
      if (length > best) {
        best = length;
        found.push_back({length, offset});
      }
    };
    const uint32_t nearest = previous2_[position];
    if (nearest == kNone || position - nearest > maxOffset_) return;
    consider(nearest);
    if (maxLength < 3) return;
    uint32_t budget = kCandidates;
    for (uint32_t c = previous3_[position]; c != kNone && position - c <= maxOffset_ && budget-- > 0;
         c = previous3_[c]) {
      if (c >= nearest && best >= 2) continue;  // already looked at
      consider(c);
      if (best >= maxLength) break;
    }
  }

 private:
  uint32_t maxOffset_;
  const uint8_t* in_;
  uint32_t size_;
  std::vector<uint32_t> previous2_, previous3_;
};

enum class Kind : uint8_t { kByte, kMatch, kReuse };

// One of the cheapest known ways to reach a position: each position keeps
// the kStates cheapest ways that differ in match flag or last offset, since
// a dearer way whose last offset comes back later may win in the end.
struct Node {
  uint64_t cost = UINT64_MAX;
  uint32_t lastOffset = 0;
  uint32_t from = 0;
  uint32_t length = 0;
  uint32_t offset = 0;
  uint8_t fromState = 0;
  uint8_t afterMatch = 0;
  Kind kind = Kind::kByte;
};
constexpr uint32_t kStates = 8;

}  // namespace

std::vector<uint8_t> ReferencePack(const std::string& input, uint32_t maxOffset) {
  if (input.empty()) return {};
  const auto* in = reinterpret_cast<const uint8_t*>(input.data());
  const uint32_t n = uint32_t(input.size());
  const Chains chains(input, maxOffset);
  std::vector<Node> nodes(kStates * (size_t(n) + 1));
  const auto at = [&](uint32_t position, uint32_t state) -> Node& { return nodes[kStates * size_t(position) + state]; };
  at(1, 0) = {8, 0, 0, 1, 0, 0, 0, Kind::kByte};
  // Keeps the way if it is cheaper than the same state's, or than the
  // dearest of the position's ways.
  const auto relax = [&](uint32_t to, const Node& way) {
    Node* worst = &at(to, 0);
    for (uint32_t s = 0; s < kStates; ++s) {
      Node& node = at(to, s);
      if (node.cost != UINT64_MAX && node.afterMatch == way.afterMatch && node.lastOffset == way.lastOffset) {
        if (way.cost < node.cost) node = way;
        return;
      }
      if (node.cost > worst->cost) worst = &node;
    }
    if (way.cost < worst->cost) *worst = way;
  };
  std::vector<Found> found, others;
  for (uint32_t i = 1; i < n; ++i) {
    chains.Find(i, found, others);
    const uint32_t byteBits = ByteBits(in, i);
    for (uint32_t state = 0; state < kStates; ++state) {
      const Node node = at(i, state);
      if (node.cost == UINT64_MAX) continue;
      const uint8_t from = uint8_t(state);
      relax(i + 1, {node.cost + byteBits, node.lastOffset, i, 1, 0, from, 0, Kind::kByte});
      const uint32_t last = node.lastOffset;
      const bool afterMatch = node.afterMatch != 0;
      if (!afterMatch && last != 0 && last <= i) {
        const uint32_t reach = chains.Common(i, last, std::min(kMaxLength, n - i));
        for (uint32_t length = 2; length <= reach; ++length) {
          if (length > kEveryLengthUpTo && length < reach) length = reach;
          relax(i + length, {node.cost + ReuseBits(length), last, i, length, last, from, 1, Kind::kReuse});
        }
      }
      for (const Found& f : others) {
        if (f.length < MinMatchLength(f.offset)) continue;
        relax(i + f.length,
              {node.cost + MatchBits(f.offset, f.length, afterMatch), f.offset, i, f.length, f.offset, from, 1, Kind::kMatch});
      }
      uint32_t length = 2;
      for (const Found& f : found) {
        for (; length <= f.length; ++length) {
          if (length > kEveryLengthUpTo && length < f.length) length = f.length;
          if (length < MinMatchLength(f.offset)) continue;
          relax(i + length,
                {node.cost + MatchBits(f.offset, length, afterMatch), f.offset, i, length, f.offset, from, 1, Kind::kMatch});
        }
      }
    }
  }
  // Walk back from the cheapest way to the end, then write the codes in order.
  uint32_t state = 0;
  for (uint32_t s = 1; s < kStates; ++s) {
    if (at(n, s).cost < at(n, state).cost) state = s;
  }
  std::vector<std::pair<uint32_t, uint32_t>> path;  // (position reached, state)
  for (uint32_t position = n; position > 1;) {
    path.push_back({position, state});
    const Node& node = at(position, state);
    state = node.fromState;
    position = node.from;
  }
  std::reverse(path.begin(), path.end());
  std::vector<uint8_t> stream(StreamBound(n));
  TBitWriter out(stream.data());
  out.Byte(in[0]);
  for (const auto& [position, reached] : path) {
    const Node& node = at(position, reached);
    const bool afterMatch = at(node.from, node.fromState).afterMatch != 0;
    if (node.kind == Kind::kByte) {
      WriteByteAt(out, in, node.from);
    } else if (node.kind == Kind::kReuse) {
      WriteReuse(out, node.length);
    } else {
      WriteMatch(out, node.offset, node.length, afterMatch);
    }
  }
  out.Bits(0b110, 3);
  out.Byte(0);
  stream.resize(out.Size());
  std::vector<uint8_t> back(n);
  const auto decoded = UnpackStream(stream.data(), stream.size(), back.data(), back.size());
  if (decoded != n || std::memcmp(back.data(), in, n) != 0) return {};
  return stream;
}

}  // namespace vexmoor::bench
