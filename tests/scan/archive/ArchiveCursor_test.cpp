// Members of multi-volume rar sets read through libarchive: a member that
// spans volumes is read whole, whichever volume is assigned, and a set with
// a volume missing fails loudly instead of giving part of a member.
#include "scan/archive/ArchiveCursor.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include "platform/Errors.h"
#include "catalogue/TextLines.h"
#include "scan/crc32/Crc32Core.h"
#include "support/SevenZipBuilder.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

namespace fs = std::filesystem;

struct TFixtureSet {
  std::vector<std::string> volumes;  // file names under rar/, in order
  std::map<std::string, uint32_t> crcs;  // members by name as libarchive gives it
  bool pieces = false;  // one archive cut by bytes: only the first piece is an archive
};

std::vector<std::string> Numbered(const std::string& prefix, int count, const char* format) {
  std::vector<std::string> names;
  for (int n = 1; n <= count; ++n) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, format, n);
    names.push_back(prefix + suffix);
  }
  return names;
}

// The four real sets: part style (two widths), old style and number style.
// The CRCs are the ones each set's own headers store.
std::vector<TFixtureSet> FixtureSets() {
  return {
      {Numbered("test_read_format_rar_multivolume.part", 4, "%04d.rar"), {}},
      {Numbered("test_rar_multivolume_uncompressed_files.part", 10, "%02d.rar"), {}},
      {{"rar3-old.rar", "rar3-old.r00", "rar3-old.r01"},
       {{"vols/bigfile.txt", 0x509AD74C}, {"vols/smallfile.txt", 0xD08A1F86}}},
      {Numbered("Rar4.split.", 6, "%03d"), {{"exe/test.exe", 0xCFB109C8}, {"jpg/test.jpg", 0x088814E3}},
       true},
  };
}

// Copies the set's volumes (all but `leaveOut`) into `dir`; false when the
// shared fixtures are absent.
bool CopySet(const TFixtureSet& set, const test::TempDir& dir, const std::string& leaveOut = "") {
  for (const std::string& name : set.volumes) {
    const std::string from = test::SharedFixture("rar/" + name);
    if (from.empty()) return false;
    if (name != leaveOut) fs::copy_file(from, dir / name, fs::copy_options::overwrite_existing);
  }
  return true;
}

// Every regular member's name and the CRC of the bytes read, or why it
// could not be read whole ("!" and the reason).
std::string HexCrc(uint32_t crc) { return HexLong(crc); }

std::map<std::string, std::string> ReadAll(const std::string& path) {
  TArchiveCursor cursor(path);
  std::map<std::string, std::string> read;
  std::string name;
  uint64_t size = 0;
  std::vector<char> block(4096);
  while (cursor.NextFile(name, size)) {
    uint32_t crc = 0;
    uint64_t total = 0;
    std::string& result = read[SlashedMemberName(name)];
    try {
      while (const size_t got = cursor.Read(block.data(), block.size())) {
        crc = Crc32(block.data(), got, crc);
        total += got;
      }
      EXPECT_EQ(total, size) << name;
      result = HexCrc(crc);
    } catch (const FormatError& error) {
      result = std::string("!") + error.what();
    }
  }
  return read;
}

TEST(ArchiveCursorVolumes, ASpanningMemberIsReadWholeWhicheverVolumeIsAssigned) {
  for (const TFixtureSet& set : FixtureSets()) {
    test::TempDir dir;
    if (!CopySet(set, dir)) GTEST_SKIP() << "shared fixtures absent";
    std::vector<std::string> expected;
    for (const std::string& name : set.volumes) expected.push_back(dir / name);
    std::map<std::string, std::string> first;
    for (const std::string& volume : set.volumes) {
      if (set.pieces && volume != set.volumes[0]) break;
      SCOPED_TRACE(volume);
      EXPECT_EQ(TArchiveCursor(dir / volume).Volumes(), expected);
      std::map<std::string, std::string> read = ReadAll(dir / volume);
      // A failure names the volume assigned; the rest must be the same.
      for (auto& [name, result] : read)
        if (result[0] == '!') result = result.substr(result.find(" (read as a set of"));
      if (first.empty()) first = read;
      EXPECT_EQ(read, first);
    }
    EXPECT_FALSE(first.empty());
    for (const auto& [name, crc] : set.crcs) EXPECT_EQ(first[name], HexCrc(crc)) << name;
  }
}

// libarchive 3.6 cannot unpack the 230 MiB ppmd member of this set: the
// member fails with its reason, its later members are read all the same.
TEST(ArchiveCursorVolumes, AMemberLibarchiveCannotUnpackFailsWithTheReason) {
  const TFixtureSet set = FixtureSets()[0];
  test::TempDir dir;
  if (!CopySet(set, dir)) GTEST_SKIP() << "shared fixtures absent";
  const std::map<std::string, std::string> read = ReadAll(dir / set.volumes[2]);
  const std::string& ppmd = read.at("ppmd_lzss_conversion_test.txt");
  if (ppmd[0] != '!') GTEST_SKIP() << "this libarchive unpacks it: " << ppmd;
  EXPECT_EQ(ppmd, "!\"" + (dir / set.volumes[2]) + "\" (read as a set of 4 volumes) cannot be unpacked: File CRC error");
  EXPECT_EQ(read.at("testdir/LibarchiveAddingTest.html"), read.at("LibarchiveAddingTest.html"));
  EXPECT_NE(read.at("LibarchiveAddingTest.html")[0], '!');
}

TEST(ArchiveCursorVolumes, ASetWithAVolumeMissingNeverGivesAMemberPartly) {
  for (const TFixtureSet& set : FixtureSets()) {
    if (set.crcs.empty()) continue;
    test::TempDir dir;
    if (!CopySet(set, dir, set.volumes[1])) GTEST_SKIP() << "shared fixtures absent";
    SCOPED_TRACE(set.volumes[0]);
    // The member that goes on in the missing volume fails with the reason
    // (or the archive does); the members before it are read as they are.
    std::map<std::string, std::string> read;
    try {
      read = ReadAll(dir / set.volumes[0]);
    } catch (const FormatError& error) {
      EXPECT_NE(std::string(error.what()).find("is damaged"), std::string::npos) << error.what();
    }
    const auto& [spanning, crc] = *set.crcs.begin();
    const auto got = read.find(spanning);
    if (got != read.end()) {
      EXPECT_EQ(got->second.substr(0, 2), "!\"") << spanning;
    }
  }
}

// A 7z archive split by 7z itself into x.7z.001, .002 ...: its header lies
// in the last volume, its member runs through all of them.
TEST(ArchiveCursorVolumes, ASplit7zIsReadThroughEveryVolume) {
  if (!test::HaveSevenZip()) GTEST_SKIP() << "7z is not installed";
  test::TempDir dir;
  std::string data;
  for (uint32_t n = 0; data.size() < 50000; ++n) data += std::to_string(n * 2654435761u);
  dir.Write("src/big.nds", data);
  ASSERT_TRUE(test::RunSevenZip(dir / "src", "a -mx=0 -v20k " + test::ShellQuote(dir / "big.7z") + " big.nds"));
  const std::vector<std::string> expected = {dir / "big.7z.001", dir / "big.7z.002", dir / "big.7z.003"};
  for (const std::string& volume : expected) {
    SCOPED_TRACE(volume);
    EXPECT_EQ(TArchiveCursor(volume).Volumes(), expected);
    EXPECT_EQ(ReadAll(volume), (std::map<std::string, std::string>{{"big.nds", HexCrc(Crc32(data.data(), data.size()))}}));
  }
}

TEST(ArchiveCursorVolumes, ALoneArchiveIsItsOwnOnlyVolume) {
  const std::string rar = test::SharedFixture("rar/test_read_format_rar.rar");
  if (rar.empty()) GTEST_SKIP() << "shared fixtures absent";
  test::TempDir dir;
  fs::copy_file(rar, dir / "one.rar");
  EXPECT_EQ(TArchiveCursor(dir / "one.rar").Volumes(), std::vector<std::string>{dir / "one.rar"});
  EXPECT_EQ(ReadAll(dir / "one.rar").at("test.txt"), "BEC8A242");
}

}  // namespace
}  // namespace vexmoor
