#include "codec/MatchFinder.h"

#include <algorithm>
#include <cstring>

#include "codec/ApCost.h"

namespace vexmoor::ap {

static_assert((kHeadEntries + kRingEntries) * sizeof(uint32_t) <= kWorkMemorySize);
static_assert(kRingEntries > kMaxOffset, "links within the window are never overwritten");

namespace {

uint64_t Load64(const uint8_t* p) {
  uint64_t value;
  std::memcpy(&value, p, 8);
  return value;
}

// Bytes that agree at `a` and `b`, up to `limit`.
uint32_t CommonLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
  uint32_t length = 0;
  while (length + 8 <= limit) {
    const uint64_t diff = Load64(a + length) ^ Load64(b + length);
    if (diff != 0) {
      if constexpr (std::endian::native == std::endian::little) {
        return length + uint32_t(std::countr_zero(diff) >> 3);
      } else {
        return length + uint32_t(std::countl_zero(diff) >> 3);
      }
    }
    length += 8;
  }
  while (length < limit && a[length] == b[length]) ++length;
  return length;
}

}  // namespace

MatchFinder::MatchFinder(const uint8_t* input, uint32_t size, uint8_t* workMemory)
    : input_(input),
      size_(size),
      head_(reinterpret_cast<uint32_t*>(workMemory)),
      ring_(reinterpret_cast<uint32_t*>(workMemory) + kHeadEntries) {
  std::fill_n(head_, kHeadEntries, kNone);
}

void MatchFinder::InsertUpTo(uint32_t end) {
  end = std::min(end, size_ - 1);  // a key needs two bytes
  for (; inserted_ < end; ++inserted_) {
    const uint32_t key = Key(inserted_);
    ring_[inserted_ % kRingEntries] = head_[key];
    head_[key] = inserted_;
  }
}

uint32_t MatchFinder::MaxLengthAt(uint32_t position) const {
  return std::min(kMaxLength, size_ - position);
}

uint32_t MatchFinder::LengthAt(uint32_t position, uint32_t offset, uint32_t limit) const {
  return CommonLength(input_ + position, input_ + position - offset, limit);
}

Match MatchFinder::Find(uint32_t position, uint32_t maxCandidates, uint32_t niceLength) const {
  Match best;
  const uint32_t maxLength = MaxLengthAt(position);
  if (maxLength < 2) return best;
  niceLength = std::min(niceLength, maxLength);
  const uint8_t* here = input_ + position;
  int32_t bestGain = 0;
  uint32_t bestLength = 1;  // every candidate shares the two key bytes
  uint32_t candidate = head_[Key(position)];
  while (candidate != kNone && candidate >= position) candidate = ring_[candidate % kRingEntries];
  for (; candidate != kNone && maxCandidates != 0; --maxCandidates) {
    const uint32_t offset = position - candidate;
    if (offset > kMaxOffset) break;
    const uint8_t* there = input_ + candidate;
    if (there[bestLength] == here[bestLength]) {
      const uint32_t length = CommonLength(here, there, maxLength);
      if (length > bestLength && length >= MinMatchLength(offset)) {
        const int32_t gain = MatchGain(length, MatchBits(offset, length, false));
        if (gain > bestGain) {
          best = {length, offset};
          bestGain = gain;
          bestLength = length;
          if (length >= niceLength) break;
        }
      }
    }
    candidate = ring_[candidate % kRingEntries];
  }
  return best;
}

}  // namespace vexmoor::ap
