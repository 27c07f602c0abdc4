#include "scan/VerifyPlan.h"

#include <algorithm>

#include "catalogue/DigestKind.h"
#include "scan/TrimmedImage.h"

namespace vexmoor {

TVerifyPlan::TVerifyPlan(const TCatalogue& catalogue, bool matchTrimmed)
    : matchTrimmed_(matchTrimmed) {
  for (const TRomItem& item : catalogue) {
    const uint8_t kind = StrongestDigest(DatDigests(item));
    if (kind == 0) continue;
    byCrc_.push_back({item.Crc, !item.Size, item.Size.value_or(0), kind});
    if (item.Size)
      kindsBySize_[*item.Size] |= kind;
    else
      anySize_ |= kind;
  }
  std::sort(byCrc_.begin(), byCrc_.end(),
            [](const TStrong& a, const TStrong& b) { return a.Crc < b.Crc; });
}

uint8_t TVerifyPlan::KindsToRead(uint64_t size) const {
  if (Empty()) return 0;
  uint8_t kinds = anySize_;
  const auto ofSize = [&](uint64_t imageSize) {
    const auto found = kindsBySize_.find(imageSize);
    if (found != kindsBySize_.end()) kinds |= found->second;
  };
  ofSize(size);
  if (matchTrimmed_ && MayBeTrimmed(size))
    for (uint64_t full = kSmallestCartridgeBytes; full <= kLargestCartridgeBytes; full <<= 1)
      if (full > size) ofSize(full);
  return kinds;
}

uint8_t TVerifyPlan::KindsOf(uint32_t crc, uint64_t size) const {
  const auto first = std::lower_bound(byCrc_.begin(), byCrc_.end(), crc,
                                      [](const TStrong& s, uint32_t c) { return s.Crc < c; });
  uint8_t kinds = 0;
  for (auto entry = first; entry != byCrc_.end() && entry->Crc == crc; ++entry)
    if (entry->AnySize || entry->Size == size) kinds |= entry->Kind;
  return kinds;
}

std::vector<TImageNeed> TVerifyPlan::Needs(uint32_t crc, uint64_t size) const {
  std::vector<TImageNeed> needs;
  if (Empty()) return needs;
  if (const uint8_t kinds = KindsOf(crc, size)) {
    needs.push_back({size, kinds});
    return needs;
  }
  if (!matchTrimmed_) return needs;
  for (const TPaddedImage& image : PaddedImageCrcs(crc, size))
    if (const uint8_t kinds = KindsOf(image.Crc, image.FullSize))
      needs.push_back({image.FullSize, kinds});
  return needs;
}

}  // namespace vexmoor
