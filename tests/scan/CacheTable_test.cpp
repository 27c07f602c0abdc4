#include "scan/CacheTable.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/Errors.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

using std::string_literals::operator""s;

TEST(CacheTable, SetUpdatesInPlaceAndLookupReadsSignedFlags) {
  TCacheTable table;
  EXPECT_EQ(CacheLookup(table, 1), -1);
  CacheSet(table, 0xAAAAAAAA, 1);
  CacheSet(table, 0xBBBBBBBB, 1);
  CacheSet(table, 0xAAAAAAAA, 1);  // found again: no second pair
  CacheSet(table, 0xBBBBBBBB, 0xFE);
  ASSERT_EQ(table.Count(), 2u);
  EXPECT_EQ(table.Pairs()[0].Crc, 0xAAAAAAAAu);
  EXPECT_EQ(CacheLookup(table, 0xAAAAAAAA), 1);
  EXPECT_EQ(CacheLookup(table, 0xBBBBBBBB), -2);
  EXPECT_EQ(CacheLookup(table, 0), -1);
}

TEST(CacheTable, RepeatedCrcFromAFileAnswersWithItsFirstPair) {
  TCacheTable table;
  table.Append(7, 1);
  table.Append(7, 9);
  EXPECT_EQ(CacheLookup(table, 7), 1);
  CacheSet(table, 7, 3);
  EXPECT_EQ(table.Pairs()[0].Flag, 3);
  EXPECT_EQ(table.Pairs()[1].Flag, 9);
}

class CacheFile : public test::TempDirTest {};

TEST_F(CacheFile, EmptyTableWritesTenBytes) {
  const std::string path = dir_ / "set.qcache";
  WriteCacheFile(TCacheTable(), path);
  EXPECT_EQ(test::ReadFile(path), "QCAC\xE8\x03\0\0\0\0"s);
}

TEST_F(CacheFile, WritesPairsInTableOrderAndReadsThemBack) {
  TCacheTable table;
  CacheSet(table, 0x0A1B2C3D, 1);
  CacheSet(table, 0xFFFFFFFF, 1);
  const std::string path = dir_ / "set.qcache";
  WriteCacheFile(table, path);
  EXPECT_EQ(test::ReadFile(path),
            "QCAC\xE8\x03\x02\0\0\0\x3D\x2C\x1B\x0A\x01\xFF\xFF\xFF\xFF\x01"s);
  TCacheTable read;
  CacheSet(read, 5, 1);  // replaced, not merged
  ReadCacheFile(read, path);
  ASSERT_EQ(read.Count(), 2u);
  EXPECT_EQ(read.Pairs()[0].Crc, 0x0A1B2C3Du);
  EXPECT_EQ(read.Pairs()[1].Crc, 0xFFFFFFFFu);
  EXPECT_EQ(CacheLookup(read, 5), -1);
}

TEST_F(CacheFile, MissingOrForeignFilesGiveAnEmptyTable) {
  TCacheTable table;
  for (const std::string& bytes :
       {"QCAX\xE8\x03\x01\0\0\0\x01\0\0\0\x01"s, "QC"s, "QCAC\xE8\x03\x01"s}) {
    CacheSet(table, 1, 1);
    ReadCacheFile(table, dir_.Write("f.qcache", bytes));
    EXPECT_EQ(table.Count(), 0u);
  }
  CacheSet(table, 1, 1);
  ReadCacheFile(table, dir_ / "absent.qcache");
  EXPECT_EQ(table.Count(), 0u);
}

TEST_F(CacheFile, FixedWordIsNotExaminedAndOtherFlagsAreKept) {
  TCacheTable table;
  ReadCacheFile(table, dir_.Write("f.qcache", "QCAC\x12\x34\x01\0\0\0\x04\x03\x02\x01\x07"s));
  ASSERT_EQ(table.Count(), 1u);
  EXPECT_EQ(CacheLookup(table, 0x01020304), 7);
}

TEST_F(CacheFile, CountBeyondTheRecordsReadsOnlyWholeRecordsPresent) {
  TCacheTable table;
  // Count 0xFFFFFFFF, two whole records and three bytes of a third.
  ReadCacheFile(table, dir_.Write("f.qcache",
                                  "QCAC\xE8\x03\xFF\xFF\xFF\xFF"
                                  "\x01\0\0\0\x01\x02\0\0\0\x01\x03\0\0"s));
  ASSERT_EQ(table.Count(), 2u);
  EXPECT_EQ(CacheLookup(table, 2), 1);
  EXPECT_EQ(CacheLookup(table, 3), -1);
  // A count smaller than the records present reads only that many.
  ReadCacheFile(table,
                dir_.Write("g.qcache", "QCAC\xE8\x03\x01\0\0\0\x01\0\0\0\x01\x02\0\0\0\x01"s));
  EXPECT_EQ(table.Count(), 1u);
}

TEST_F(CacheFile, ReplacesTheFileWithoutRewritingItInPlace) {
  TCacheTable table;
  CacheSet(table, 1, 1);
  const std::string path = dir_ / "set.qcache";
  WriteCacheFile(table, path);
  const std::string before = test::ReadFile(path);
  // A second name for the old file: writing in place would change it too.
  std::filesystem::create_hard_link(path, dir_ / "old.qcache");
  CacheSet(table, 2, 1);
  WriteCacheFile(table, path);
  EXPECT_EQ(test::ReadFile(dir_ / "old.qcache"), before);
  EXPECT_EQ(test::ReadFile(path).size(), 20u);
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_.Path()))
    ++files;
  EXPECT_EQ(files, 2u);  // no temporary file left behind
}

TEST_F(CacheFile, FailedWriteLeavesThePreviousFileInPlace) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX mode bits: a Windows folder has none to make it read-only";
#else
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  TCacheTable table;
  CacheSet(table, 1, 1);
  const std::string path = dir_ / "set.qcache";
  WriteCacheFile(table, path);
  const std::string before = test::ReadFile(path);
  ::chmod(dir_.Path().c_str(), 0500);
  CacheSet(table, 2, 1);
  EXPECT_THROW(WriteCacheFile(table, path), IoError);
  ::chmod(dir_.Path().c_str(), 0700);
  EXPECT_EQ(test::ReadFile(path), before);
#endif
}

TEST(CacheFileBytes, DecodeMatchesTheFileReader) {
  TCacheTable table;
  CacheSet(table, 0x12345678, 1);
  TCacheTable decoded;
  DecodeCacheFile(decoded, EncodeCacheFile(table));
  ASSERT_EQ(decoded.Count(), 1u);
  EXPECT_EQ(CacheLookup(decoded, 0x12345678), 1);
  DecodeCacheFile(decoded, "QCAC\xE8\x03\x05\0\0\0\x01\0\0"s);
  EXPECT_EQ(decoded.Count(), 0u);
}

}  // namespace
}  // namespace vexmoor
