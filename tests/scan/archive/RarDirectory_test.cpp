#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Errors.h"
#include "scan/archive/ArchiveTestUtil.h"
#include "support/ArchiveBuilder.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

using test::BuildRarVolume;
using test::ListArchive;
using test::RarMember;
using Lines = std::vector<std::string>;

class RarDirectoryTest : public test::TempDirTest {
 protected:
  // Three volumes: "big" runs from the first into the third, "Case" and
  // "case" differ only in letter case.
  void WriteSet(const std::vector<std::string>& names) {
    dir_.Write(names[0], BuildRarVolume({{"one.nds", "111"}, {"big.nds", "AA", 0x1234, 6, 0x02}}, 0x0101));
    dir_.Write(names[1], BuildRarVolume({{"big.nds", "BB", 0x5678, 6, 0x03}, {"Case.nds", "c"}}, 0x0001));
    dir_.Write(names[2], BuildRarVolume({{"big.nds", "CC", 0x9ABC, 6, 0x01}, {"case.nds", "C"}}, 0x0001));
  }
  const Lines kSetListing = {"4D6B513D  3  3  one.nds", "00009ABC  2  6  big.nds", "06B9DF6F  1  1  Case.nds",
                             "3DD7FFA7  1  1  case.nds"};
};

TEST_F(RarDirectoryTest, EveryVolumeOfEachNamingStyleGivesTheWholeSet) {
  const std::vector<std::vector<std::string>> styles = {
      {"p.part1.rar", "p.part2.rar", "p.part3.rar"},
      {"w.part01.rar", "w.part02.rar", "w.part03.rar"},
      {"o.rar", "o.r00", "o.r01"},
      {"n.000", "n.001", "n.002"},
  };
  for (const auto& names : styles) {
    WriteSet(names);
    for (const std::string& name : names) {
      TCmpRead reader;
      reader.SetFileName(dir_ / name);
      EXPECT_EQ(test::Listing(reader.Entries()), kSetListing) << name;
      EXPECT_EQ(reader.FileName(), dir_ / name);
    }
  }
}

TEST_F(RarDirectoryTest, NumberStyleWithoutVolumeZeroStartsAtTheFileAssigned) {
  dir_.Write("s.001", BuildRarVolume({{"a", "1"}}));
  dir_.Write("s.002", BuildRarVolume({{"b", "2"}}));
  EXPECT_EQ(ListArchive(dir_ / "s.001"), (Lines{"83DCEFB7  1  1  a", "1AD5BE0D  1  1  b"}));
  EXPECT_EQ(ListArchive(dir_ / "s.002"), (Lines{"1AD5BE0D  1  1  b"}));
}

// One archive cut by bytes into x.001, x.002 ...: only the first piece
// has the marker. The pieces joined are the archive; without them its
// members after the first piece were lost and the first cut short.
TEST_F(RarDirectoryTest, AnArchiveCutIntoPiecesByBytesIsReadJoined) {
  const std::string whole = BuildRarVolume({{"a.nds", std::string(300, 'a')}, {"b.nds", "bb"}, {"c.nds", "c"}});
  const Lines listing = ListArchive(dir_.Write("whole.rar", whole));
  ASSERT_EQ(listing.size(), 3u);
  for (const size_t cut : {size_t{100}, size_t{9}}) {
    SCOPED_TRACE(cut);
    std::vector<std::string> names;
    for (size_t at = 0, n = 1; at < whole.size(); at += cut, ++n) {
      names.push_back("cut." + std::string(n < 10 ? "00" : n < 100 ? "0" : "") + std::to_string(n));
      dir_.Write(names.back(), whole.substr(at, cut));
    }
    TCmpRead reader;
    reader.SetFileName(dir_ / "cut.001");
    EXPECT_EQ(test::Listing(reader.Entries()), listing);
    EXPECT_EQ(reader.Damage(), "");
    EXPECT_EQ(reader.FileName(), dir_ / "cut.001");
    for (const std::string& name : names) std::filesystem::remove(dir_ / name);
  }
  // A piece gone: the member that ran into it is cut short, and said so.
  dir_.Write("gap.001", whole.substr(0, 100));
  dir_.Write("gap.003", whole.substr(200));
  TCmpRead gap;
  gap.SetFileName(dir_ / "gap.001");
  EXPECT_EQ(gap.Damage(), "Damaged rar archive: a member runs past the end of the file.");
  // A file with a marker after the pieces is no piece of them.
  dir_.Write("two.001", whole.substr(0, 100));
  dir_.Write("two.002", whole.substr(100));
  dir_.Write("two.003", BuildRarVolume({{"other.nds", "o"}}));
  EXPECT_EQ(ListArchive(dir_ / "two.001"), listing);
}

TEST_F(RarDirectoryTest, SetEndsAtAVolumeWithoutTheMarker) {
  dir_.Write("m.part1.rar", BuildRarVolume({{"a", "1"}}));
  dir_.Write("m.part2.rar", test::Rar5Marker() + std::string(40, '\0'));
  dir_.Write("m.part3.rar", BuildRarVolume({{"c", "3"}}));
  EXPECT_EQ(ListArchive(dir_ / "m.part1.rar"), (Lines{"83DCEFB7  1  1  a"}));
  EXPECT_EQ(ListArchive(dir_ / "m.part2.rar"), (Lines{"83DCEFB7  1  1  a"}));
  EXPECT_EQ(ListArchive(dir_.Write("five.rar", test::Rar5Marker() + std::string(40, '\0'))), Lines{});
}

TEST_F(RarDirectoryTest, VolumeThatCannotBeOpenedRaisesTheFileOpenError) {
  dir_.Write("v.part1.rar", BuildRarVolume({{"a", "1"}}));
  std::filesystem::create_directory(dir_ / "v.part2.rar");  // exists, cannot be opened as a file
  TCmpRead reader;
  EXPECT_THROW(reader.SetFileName(dir_ / "v.part1.rar"), FileOpenError);
  EXPECT_EQ(reader.FileName(), dir_ / "v.part1.rar");
  EXPECT_EQ(test::Listing(reader.Entries()), (Lines{"83DCEFB7  1  1  a"}));
}

TEST_F(RarDirectoryTest, WalkEndsAtBadHeaderSizesAndTruncationKeepingWhatItRead) {
  const std::string good = test::RarMarker() + test::RarMainHeader() + test::RarFileBlock({"a", "1"});
  const std::string second = test::RarFileBlock({"b", "2"});
  std::string tiny = test::RarBlock(0x74, 0x8000, std::string(30, '\0'));
  tiny[5] = 6, tiny[6] = 0;  // header size 6: would stand still
  EXPECT_EQ(ListArchive(dir_.Write("tiny.rar", good + tiny + second)), (Lines{"83DCEFB7  1  1  a"}));
  EXPECT_EQ(ListArchive(dir_.Write("cut.rar", good + second.substr(0, 20))), (Lines{"83DCEFB7  1  1  a"}));
  // A header too short for its own name is skipped; the walk goes on.
  std::string shortName = test::RarFileBlock({"zz", ""});
  shortName[5] = char(shortName[5] - 1);
  const std::string skipped = good + shortName.substr(0, shortName.size() - 1) + second;
  EXPECT_EQ(ListArchive(dir_.Write("short.rar", skipped)), (Lines{"83DCEFB7  1  1  a", "1AD5BE0D  1  1  b"}));
  // Member data running past the end of the file: the header still counts.
  RarMember huge{"h", "x"};
  huge.flags = 0x0100, huge.packedHigh = 0x7FFFFFFF;
  EXPECT_EQ(ListArchive(dir_.Write("huge.rar", good + test::RarFileBlock(huge))),
            (Lines{"83DCEFB7  1  1  a", "8CDC1683  9223372032559808513  1  h"}));
}

TEST_F(RarDirectoryTest, HeaderFlagsThatChangeTheLayout) {
  RarMember large{"large.nds", "L"};
  large.flags = 0x0100, large.unpackedHigh = 1;
  RarMember unicode{std::string("u.nds\0\x01\x02", 8), "U"};
  unicode.flags = 0x0200;
  RarMember encrypted{"secret.nds", "S"};
  encrypted.flags = 0x0004;
  EXPECT_EQ(ListArchive(dir_.Write("flags.rar", BuildRarVolume({large, unicode, encrypted}))),
            (Lines{"AD68E236  1  4294967297  large.nds", "C9034AF6  1  1  u.nds", "2060EFC3  1  1  secret.nds"}));
  // Encrypted headers: nothing after the main header can be read.
  EXPECT_EQ(ListArchive(dir_.Write("locked.rar", BuildRarVolume({{"a", "1"}}, 0x0080))), Lines{});
}

TEST_F(RarDirectoryTest, TwoMembersOfTheSameNameNeitherSplitAreTwoEntries) {
  // Only a header continued from the previous volume joins the entry
  // before it; the second "dup.nds" of the first volume is an entry of its
  // own, and the split one that follows joins it, not the first.
  dir_.Write("d.part1.rar", BuildRarVolume({{"dup.nds", "1"}, {"dup.nds", "AA", 0x1111, 4, 0x02}}));
  dir_.Write("d.part2.rar", BuildRarVolume({{"dup.nds", "BB", 0x2222, 4, 0x01}, {"dup.nds", "3"}}));
  EXPECT_EQ(ListArchive(dir_ / "d.part1.rar"),
            (Lines{"83DCEFB7  1  1  dup.nds", "00002222  2  4  dup.nds", "6DD28E9B  1  1  dup.nds"}));
  // A continuation without an earlier entry (its first volume is gone).
  dir_.Write("lone.rar", BuildRarVolume({{"part.nds", "P", 0x3333, 9, 0x01}}));
  EXPECT_EQ(ListArchive(dir_ / "lone.rar"), (Lines{"00003333  1  9  part.nds"}));
}

TEST_F(RarDirectoryTest, LargeMemberSizesTakeTheHighWordsAsBits32To63) {
  RarMember large{"large.nds", "L"};
  large.flags = 0x0100, large.packedHigh = 2, large.unpackedHigh = 3, large.unpacked = 5;
  EXPECT_EQ(ListArchive(dir_.Write("large.rar", BuildRarVolume({large}))),
            (Lines{"AD68E236  8589934593  12884901893  large.nds"}));
}

TEST(RarFixtures, SetsGiveTheSameEntriesWhicheverVolumeIsAssigned) {
  const struct {
    const char* prefix;
    int volumes;
    const char* format;
    size_t count;
    const char* last;
  } sets[] = {
      {"rar/test_read_format_rar_multivolume.part", 4, "%04d.rar", 7, "00000000  0  0  testemptydir"},
      {"rar/test_rar_multivolume_uncompressed_files.part", 10, "%02d.rar", 16, "00000000  0  0  testemptydir"},
  };
  for (const auto& set : sets) {
    Lines first;
    for (int v = 1; v <= set.volumes; ++v) {
      char suffix[16];
      std::snprintf(suffix, sizeof suffix, set.format, v);
      const std::string path = test::SharedFixture(std::string(set.prefix) + suffix);
      if (path.empty()) GTEST_SKIP() << "shared fixtures absent";
      const Lines listing = ListArchive(path);
      if (v == 1) first = listing;
      EXPECT_EQ(listing, first) << path;
    }
    ASSERT_EQ(first.size(), set.count);
    EXPECT_EQ(first.back(), set.last);
  }
  const Lines old = {"509AD74C  380  205000  vols\\bigfile.txt", "D08A1F86  2050  2050  vols\\smallfile.txt"};
  for (const char* name : {"rar/rar3-old.rar", "rar/rar3-old.r00", "rar/rar3-old.r01"}) {
    const std::string path = test::SharedFixture(name);
    if (path.empty()) GTEST_SKIP() << "shared fixtures absent";
    EXPECT_EQ(ListArchive(path), old) << name;
  }
}

TEST(RarFixtures, SingleArchives) {
  const struct {
    const char* file;
    Lines expected;
  } cases[] = {
      {"rar/test_read_format_rar.rar",
       {"BEC8A242  20  20  test.txt", "B6C9447B  8  8  testlink", "BEC8A242  20  20  testdir\\test.txt",
        "00000000  0  0  testdir", "00000000  0  0  testemptydir"}},
      {"rar/test_read_format_rar_subblock.rar", {"BEC8A242  20  20  test.txt"}},
      {"rar/rar15-comment.rar", {"E27F07A9  7  7  FILE1.TXT", "3C4306F7  8  8  FILE2.TXT"}},
      {"rar/test_read_format_rar4_encrypted.rar",
       {"EE5A6E55  18  18  a.txt", "A9FA1485  32  18  b.txt", "949A3D35  18  18  c.txt", "26BAE125  32  18  d.txt"}},
      {"rar/test_read_format_rar_encryption_header.rar", {}},
      {"rar/test_read_format_rar5_stored.rar", {}},
      // Its stored packed size has the high word 0x7FFFFFFF.
      {"rar/test_read_format_rar_symlink_huge.rar", {"00000000  9223372032559808512  0  x"}},
      // Cut into six pieces by bytes; the five beside it are read as its rest.
      {"rar/Rar4.split.001",
       {"CFB109C8  18037  45056  exe\\test.exe", "088814E3  38973  40372  jpg\\test.jpg",
        "9BD160FA  2729  15498  ????.txt", "00000000  0  0  exe", "00000000  0  0  jpg"}},
  };
  for (const auto& c : cases) {
    const std::string path = test::SharedFixture(c.file);
    if (path.empty()) GTEST_SKIP() << "shared fixtures absent";
    EXPECT_EQ(ListArchive(path), c.expected) << c.file;
  }
  const std::string unicode = test::SharedFixture("rar/test_read_format_rar_unicode.rar");
  const Lines names = ListArchive(unicode);
  ASSERT_EQ(names.size(), 6u);
  EXPECT_EQ(names[3], "00000000  0  0  \x95\x5C\x82\xBE\x82\xE6");  // the plain name before the NUL
}

}  // namespace
}  // namespace vexmoor
