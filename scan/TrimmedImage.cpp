#include "scan/TrimmedImage.h"

#include <algorithm>
#include <bit>

#include "scan/CRC32.h"

namespace vexmoor {

namespace {

// The CRC of a run of 0xFF bytes and the operator that appending it
// applies, for every run length byte << (8 * Place) with Place 0 to 3:
// any padding below 2^32 bytes is at most four such runs, and every
// cartridge size is one of them.
struct TFillRuns {
  static constexpr size_t kPlaces = 4;
  uint32_t Crc[kPlaces][256];
  uint32_t Shift[kPlaces][256];

  TFillRuns() {
    // One byte, then every run from the run before it: a run of j + 1 units
    // is the run of j units followed by one unit.
    const uint8_t fill = 0xFF;
    uint32_t unitCrc = Crc32(&fill, 1);
    uint32_t unitShift = Crc32Shift(1);
    for (size_t place = 0; place < kPlaces; ++place) {
      Crc[place][0] = 0;
      Shift[place][0] = Crc32Shift(0);
      for (size_t j = 1; j < 256; ++j) {
        Crc[place][j] = Crc32CombineWith(Crc[place][j - 1], unitCrc, unitShift);
        Shift[place][j] = Crc32CombineWith(Shift[place][j - 1], 0, unitShift);
      }
      // The next place's unit is 256 of this place's.
      unitCrc = Crc32CombineWith(Crc[place][255], unitCrc, unitShift);
      unitShift = Crc32CombineWith(Shift[place][255], 0, unitShift);
    }
  }

  // `crc` followed by `length` bytes of 0xFF; `length` below 2^32.
  uint32_t Append(uint32_t crc, uint64_t length) const {
    for (size_t place = 0; place < kPlaces && length != 0; ++place, length >>= 8) {
      const size_t j = length & 0xFF;
      if (j != 0) crc = Crc32CombineWith(crc, Crc[place][j], Shift[place][j]);
    }
    return crc;
  }
};

const TFillRuns& FillRuns() {
  static const TFillRuns runs;
  return runs;
}

}  // namespace

bool MayBeTrimmed(uint64_t size) {
  return size != 0 && !std::has_single_bit(size) && size < kLargestCartridgeBytes;
}

TPaddedImages PaddedImageCrcs(uint32_t crc, uint64_t size) {
  TPaddedImages images;
  if (!MayBeTrimmed(size)) return images;
  const TFillRuns& runs = FillRuns();
  uint64_t full = std::max(std::bit_ceil(size), kSmallestCartridgeBytes);
  crc = runs.Append(crc, full - size);
  images.Add({full, crc});
  // Doubling the image appends `full` more bytes of 0xFF: one run of the table.
  for (; full < kLargestCartridgeBytes; full *= 2) {
    crc = runs.Append(crc, full);
    images.Add({full * 2, crc});
  }
  return images;
}

}  // namespace vexmoor
