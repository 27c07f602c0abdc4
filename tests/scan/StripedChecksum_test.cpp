#include "scan/StripedChecksum.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

#include "platform/Errors.h"
#include "scan/CRC32.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

std::string RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

uint32_t ZlibCrc(const std::string& data) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

TEST(Crc32Combine, JoinsPiecesSplitAnywhere) {
  const std::string data = RandomBytes(3000, 11);
  for (size_t cut : {0u, 1u, 7u, 8u, 9u, 255u, 1024u, 2999u, 3000u}) {
    const uint32_t first = Crc32(data.data(), cut);
    const uint32_t second = Crc32(data.data() + cut, data.size() - cut);
    EXPECT_EQ(Crc32Combine(first, second, data.size() - cut), ZlibCrc(data)) << "cut at " << cut;
  }
  // Joining is associative, so many stripes fold up in order.
  uint32_t crc = 0;
  for (size_t at = 0; at < data.size(); at += 333)
    crc = Crc32Combine(crc, Crc32(data.data() + at, std::min<size_t>(333, data.size() - at)),
                       std::min<size_t>(333, data.size() - at));
  EXPECT_EQ(crc, ZlibCrc(data));
}

TEST(Crc32Combine, AgreesWithZlibOnLengthsBeyond32Bits) {
  for (const uint64_t length : {uint64_t{1} << 32, (uint64_t{5} << 32) + 12345, ~uint64_t{0} >> 4})
    EXPECT_EQ(Crc32Combine(0x12345678, 0x9ABCDEF0, length),
              static_cast<uint32_t>(crc32_combine64(0x12345678, 0x9ABCDEF0,
                                                    static_cast<z_off64_t>(length))))
        << length;
}

class StripedChecksumTest : public test::TempDirTest {};

TEST_F(StripedChecksumTest, SameValueForEveryStripeLayoutAndThreadCount) {
  // Sizes around whole stripes of 4096 bytes and around the 1 MiB read.
  for (const size_t size : {0u, 1u, 8191u, 8192u, 8193u, 12288u, 40961u, 1048576u + 4097u}) {
    const std::string data = RandomBytes(size, static_cast<uint32_t>(size));
    const std::string path = dir_.Write("dump.nds", data);
    for (const unsigned threads : {1u, 2u, 3u, 8u})
      EXPECT_EQ(StripedFileCrc32(path, threads, nullptr, 4096), ZlibCrc(data))
          << size << " bytes, " << threads << " threads";
  }
}

TEST_F(StripedChecksumTest, ErrorsAreTheSingleThreadReadsErrors) {
  EXPECT_THROW(StripedFileCrc32((dir_ / "absent.nds"), 2), FileOpenError);
  EXPECT_THROW(StripedFileCrc32(dir_.Path(), 2), IoError);
}

}  // namespace
}  // namespace vexmoor
