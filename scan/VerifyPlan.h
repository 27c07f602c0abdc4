// What a scan sums beside the CRC-32 of a loose dump, decided from the
// loaded dat before the scan and read by every worker: the strongest
// checksum (SHA-256, else SHA-1, else MD5) of each entry that gives one.
// A dat of CRCs alone makes an empty plan, and a scan with it sums nothing
// more than before.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "catalogue/RomItem.h"

namespace vexmoor {

// One image whose strong checksums a dump's verification needs: the dump
// itself (ImageSize its own size) or the full image a trimmed dump was cut
// from (the dump followed by 0xFF up to ImageSize).
struct TImageNeed {
  uint64_t ImageSize = 0;
  uint8_t Kinds = 0;  // TDigestKind bits
};

class TVerifyPlan {
 public:
  TVerifyPlan() = default;  // verifies nothing
  // With `matchTrimmed`, the full images trimmed dumps may come from count.
  TVerifyPlan(const TCatalogue& catalogue, bool matchTrimmed);

  bool Empty() const { return byCrc_.empty(); }

  // The kinds to sum while a loose dump measured at `size` bytes is read:
  // those of the entries of that size or of no size, and (with
  // matchTrimmed) of the full images such a dump may have been cut from.
  // 0 for a dump no entry with a strong checksum can take.
  uint8_t KindsToRead(uint64_t size) const;

  // Once the dump's CRC is known: the dump itself when an entry with a
  // strong checksum has its CRC and size; else (with matchTrimmed) each full
  // image, smallest first, whose CRC and size such an entry has. Empty when
  // no strong checksum applies.
  std::vector<TImageNeed> Needs(uint32_t crc, uint64_t size) const;

 private:
  uint8_t KindsOf(uint32_t crc, uint64_t size) const;

  struct TStrong {
    uint32_t Crc = 0;
    bool AnySize = false;  // the dat gives no size
    uint64_t Size = 0;
    uint8_t Kind = 0;
  };
  std::vector<TStrong> byCrc_;  // sorted by Crc
  std::unordered_map<uint64_t, uint8_t> kindsBySize_;
  uint8_t anySize_ = 0;
  bool matchTrimmed_ = false;
};

}  // namespace vexmoor
