// Trimmed DS cartridge images. A cartridge image is a power of two in size,
// and everything after its last used byte is 0xFF padding; a trimmed dump
// has that padding cut off. A dat lists the CRC-32 of the full image, which
// is the CRC of the trimmed bytes followed by a run of 0xFF bytes: it follows
// from the trimmed dump's CRC and size alone (Crc32CombineWith), so a dump is
// recognised without reading it again, even inside an archive.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vexmoor {

// The sizes a DS cartridge image has: every power of two in this range.
inline constexpr uint64_t kSmallestCartridgeBytes = uint64_t{128} << 10;
inline constexpr uint64_t kLargestCartridgeBytes = uint64_t{512} << 20;
// How many such sizes there are (2^17 to 2^29).
inline constexpr size_t kCartridgeSizes = 13;

// True when a dump of `size` bytes may be a trimmed image: it is not empty,
// not a power of two, and smaller than the largest cartridge.
bool MayBeTrimmed(uint64_t size);

// One full image a trimmed dump may have been cut from.
struct TPaddedImage {
  uint64_t FullSize = 0;  // a cartridge size above the dump's size
  uint32_t Crc = 0;       // CRC-32 of the dump followed by 0xFF up to FullSize
};

// The full images, smallest first; empty when !MayBeTrimmed(size).
class TPaddedImages {
 public:
  const TPaddedImage* begin() const { return images_.data(); }
  const TPaddedImage* end() const { return images_.data() + count_; }
  size_t size() const { return count_; }
  void Add(const TPaddedImage& image) { images_[count_++] = image; }

 private:
  std::array<TPaddedImage, kCartridgeSizes> images_{};
  size_t count_ = 0;
};

// The CRC-32 of every full image a dump with CRC `crc` and `size` bytes may
// have been trimmed from: each cartridge size above `size`, 128 KiB at
// least. Costs one product per byte of the padding length of the smallest
// image and one per further size; the 0xFF runs and their operators come
// from a table built on the first call (thread-safe).
TPaddedImages PaddedImageCrcs(uint32_t crc, uint64_t size);

}  // namespace vexmoor
