#include "scan/StripedChecksum.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/Errors.h"
#include "scan/CRC32.h"
#include "support/RandomData.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

using test::RandomBytes;
using test::ZlibCrc;

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
#ifdef _WIN32
  GTEST_SKIP() << "zlib built for Windows takes lengths as a 32-bit long, so it is no yardstick past 2 GiB";
#else
  for (const uint64_t length : {uint64_t{1} << 32, (uint64_t{5} << 32) + 12345, ~uint64_t{0} >> 4})
    EXPECT_EQ(Crc32Combine(0x12345678, 0x9ABCDEF0, length),
              static_cast<uint32_t>(crc32_combine64(0x12345678, 0x9ABCDEF0,
                                                    static_cast<z_off64_t>(length))))
        << length;
#endif
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

TEST_F(StripedChecksumTest, IdleThreadsJoinAnOfferedSum) {
  const std::string data = RandomBytes(200000, 5);
  const std::string path = dir_.Write("dump.nds", data);
  std::atomic<int> offers{0};
  TStripeHelpers helpers(1000, [&offers] { ++offers; });
  std::atomic<bool> done{false};
  std::vector<std::thread> idle;
  for (int i = 0; i < 3; ++i)
    idle.emplace_back([&] {
      while (!done) helpers.HelpOne();
    });
  for (int round = 0; round < 20; ++round) EXPECT_EQ(SharedFileCrc32(path, helpers), ZlibCrc(data));
  done = true;
  for (std::thread& thread : idle) thread.join();
  EXPECT_EQ(offers, 20);
  EXPECT_FALSE(helpers.HasWork());

  // Below two stripes: read by the caller alone, nothing offered.
  TStripeHelpers wide(200000, [&offers] { ++offers; });
  EXPECT_EQ(SharedFileCrc32(path, wide), ZlibCrc(data));
  EXPECT_EQ(offers, 20);
}

TEST_F(StripedChecksumTest, ErrorsAreTheSingleThreadReadsErrors) {
  EXPECT_THROW(StripedFileCrc32((dir_ / "absent.nds"), 2), FileOpenError);
  EXPECT_THROW(StripedFileCrc32(dir_.Path(), 2), IoError);
}

}  // namespace
}  // namespace vexmoor
