#include "scan/TrimmedImage.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "scan/CRC32.h"
#include "support/RandomData.h"

namespace vexmoor {
namespace {

constexpr uint64_t kKiB = 1024;
constexpr uint64_t kMiB = 1024 * kKiB;

// The direct answer: `crc` (of `size` bytes) followed by 0xFF bytes, summed
// byte run by byte run, with the CRC noted at every size in `stops`.
std::vector<uint32_t> PaddedDirectly(uint32_t crc, uint64_t size, const std::vector<uint64_t>& stops) {
  static const std::string fill(4 * kMiB, '\xFF');
  std::vector<uint32_t> crcs;
  for (const uint64_t stop : stops) {
    for (; size < stop; size += std::min<uint64_t>(fill.size(), stop - size))
      crc = Crc32(fill.data(), std::min<uint64_t>(fill.size(), stop - size), crc);
    crcs.push_back(crc);
  }
  return crcs;
}

// `size` bytes: a random block repeated; what the bytes are does not
// matter, only that the trimmed part is not 0xFF throughout.
uint32_t DumpCrc(uint64_t size, uint32_t seed) {
  const std::string block = test::RandomBytes(64 * kKiB + 7, seed);
  uint32_t crc = 0;
  for (uint64_t done = 0; done < size; done += std::min<uint64_t>(block.size(), size - done))
    crc = Crc32(block.data(), std::min<uint64_t>(block.size(), size - done), crc);
  return crc;
}

TEST(TrimmedImage, OnlySizesThatAreNotAPowerOfTwoBelowTheLargestCartridge) {
  for (const uint64_t size : {uint64_t{0}, uint64_t{1}, uint64_t{2}, 128 * kKiB, 256 * kMiB,
                              512 * kMiB, 512 * kMiB + 1, uint64_t{1} << 40}) {
    EXPECT_FALSE(MayBeTrimmed(size)) << size;
    EXPECT_EQ(PaddedImageCrcs(0x12345678, size).size(), 0u) << size;
  }
  for (const uint64_t size : {uint64_t{3}, 128 * kKiB - 1, 128 * kKiB + 1, 512 * kMiB - 1})
    EXPECT_TRUE(MayBeTrimmed(size)) << size;
}

TEST(TrimmedImage, FullSizesRunFromTheNextCartridgeSizeUpTo512MiB) {
  auto sizes = [](uint64_t size) {
    std::vector<uint64_t> full;
    for (const TPaddedImage& image : PaddedImageCrcs(0, size)) full.push_back(image.FullSize);
    return full;
  };
  std::vector<uint64_t> all;
  for (uint64_t full = 128 * kKiB; full <= 512 * kMiB; full *= 2) all.push_back(full);
  EXPECT_EQ(sizes(3), all);  // 128 KiB at least
  EXPECT_EQ(sizes(128 * kKiB - 1), all);
  EXPECT_EQ(sizes(128 * kKiB + 1), std::vector<uint64_t>(all.begin() + 1, all.end()));
  EXPECT_EQ(sizes(3 * kMiB), std::vector<uint64_t>(all.begin() + 5, all.end()));
  EXPECT_EQ(sizes(512 * kMiB - 1), std::vector<uint64_t>{512 * kMiB});
}

// The combined CRCs against a direct sum of the padded bytes, for random
// sizes on both sides of every power of two up to 4 MiB, checked at every
// full size up to 8 MiB.
TEST(TrimmedImage, PaddedCrcsEqualTheDirectSumAroundEveryBoundary) {
  std::mt19937_64 random(19);
  for (uint64_t boundary = 2; boundary <= 4 * kMiB; boundary *= 2) {
    const uint64_t spread = std::max<uint64_t>(1, boundary / 2);
    for (const uint64_t size : {boundary - 1, boundary + 1, boundary - 1 - random() % spread,
                                boundary + 1 + random() % (spread - 1 + (spread == 1))}) {
      if (!MayBeTrimmed(size)) continue;
      const uint32_t crc = DumpCrc(size, static_cast<uint32_t>(size));
      std::vector<uint64_t> stops;
      std::vector<uint32_t> combined;
      for (const TPaddedImage& image : PaddedImageCrcs(crc, size)) {
        if (image.FullSize > 8 * kMiB) break;
        stops.push_back(image.FullSize);
        combined.push_back(image.Crc);
      }
      ASSERT_FALSE(stops.empty()) << size;
      EXPECT_EQ(combined, PaddedDirectly(crc, size, stops)) << "size " << size;
    }
  }
}

// The long runs: a small dump padded all the way, and a dump just above the
// next-to-largest size, whose only full image is the largest.
TEST(TrimmedImage, PaddedCrcsEqualTheDirectSumUpToTheLargestCartridge) {
  const uint64_t small = 12345;
  const uint32_t smallCrc = DumpCrc(small, 1);
  std::vector<uint64_t> stops;
  std::vector<uint32_t> combined;
  for (const TPaddedImage& image : PaddedImageCrcs(smallCrc, small)) {
    stops.push_back(image.FullSize);
    combined.push_back(image.Crc);
  }
  EXPECT_EQ(combined, PaddedDirectly(smallCrc, small, stops));

  const uint64_t large = 256 * kMiB + 4097;
  const uint32_t largeCrc = DumpCrc(large, 2);
  const TPaddedImages images = PaddedImageCrcs(largeCrc, large);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images.begin()->Crc, PaddedDirectly(largeCrc, large, {512 * kMiB})[0]);
}

TEST(Crc32Shift, CombinesAsZlibDoesAndMultipliesAsLengthsAdd) {
#ifdef _WIN32
  GTEST_SKIP() << "zlib built for Windows takes lengths as a 32-bit long, so it is no yardstick past 2 GiB";
#else
  std::mt19937_64 random(7);
  for (int i = 0; i < 200; ++i) {
    const uint64_t a = random() >> (4 + random() % 60), b = random() >> (4 + random() % 60);
    const uint32_t first = static_cast<uint32_t>(random()), second = static_cast<uint32_t>(random());
    EXPECT_EQ(Crc32CombineWith(first, second, Crc32Shift(a)),
              crc32_combine64(first, second, static_cast<z_off64_t>(a)))
        << a;
    EXPECT_EQ(Crc32CombineWith(Crc32Shift(a), 0, Crc32Shift(b)), Crc32Shift(a + b)) << a << " " << b;
  }
#endif
}

}  // namespace
}  // namespace vexmoor
