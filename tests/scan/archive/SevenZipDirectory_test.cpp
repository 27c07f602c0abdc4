#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <sstream>

#include "scan/ScanTestUtil.h"
#include "scan/archive/ArchiveTestUtil.h"
#include "scan/archive/SevenZipDirectory.h"
#include "support/RandomData.h"
#include "support/SevenZipBuilder.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

namespace fs = std::filesystem;
using test::ListArchive;
using test::SevenZipNumber;
using Lines = std::vector<std::string>;

// `7z l -slt` as the reader's listing lines: the CRC 7-Zip leaves blank for
// folders and empty files is 0, and the packed size is 0 as the reader has it.
Lines SevenZipListing(const test::TempDir& scratch, const std::string& path, const std::string& args = "") {
  const std::string out = scratch / "7z-listing.txt";
  const std::string command = "LC_ALL=C.UTF-8 7z l -slt " + args + " " + test::ShellQuote(path) + " >" +
                              test::ShellQuote(out) + " 2>&1 </dev/null";
  EXPECT_EQ(std::system(command.c_str()), 0) << path;
  std::istringstream text(test::ReadFile(out));
  Lines lines;
  std::string name, size;
  bool entries = false;
  for (std::string line; std::getline(text, line);) {
    entries = entries || line == "----------";
    if (!entries) continue;
    if (line.rfind("Path = ", 0) == 0) name = line.substr(7);
    if (line.rfind("Size = ", 0) == 0) size = line.substr(7);
    if (line.rfind("CRC = ", 0) == 0) {
      const std::string crc = line.size() > 6 ? line.substr(6) : "00000000";
      lines.push_back(crc + "  0  " + size + "  " + name);
    }
  }
  return lines;
}

class SevenZipTest : public test::TempDirTest {
 protected:
  void SetUp() override {
    if (!test::HaveSevenZip()) GTEST_SKIP() << "7z missing";
    dir_.Write("src/a.nds", "alpha");
    dir_.Write("src/empty.nds", "");
    dir_.Write("src/dir/b.nds", test::RandomBytes(70000, 7));
    dir_.Write("src/dir/sub/\xC3\xBCn\xC3\xAF \xE6\x97\xA5\xE6\x9C\xAC.nds", "unicode");
    dir_.Write("src/dir/c.nds", std::string(3000, 'c'));
    fs::create_directories(dir_ / "src/emptydir");
  }

  // Archives the source tree with `7z a OPTIONS` into `name`.
  std::string Make(const std::string& name, const std::string& options) {
    EXPECT_TRUE(test::RunSevenZip(dir_ / "src", "a " + options + " " + test::ShellQuote(dir_ / name) + " ."));
    return dir_ / name;
  }
};

TEST_F(SevenZipTest, ListingsEqualSevenZipsForEveryMethodAndLayout) {
  const struct {
    const char* name;
    const char* options;
  } cases[] = {
      {"lzma2.7z", "-m0=lzma2"},           {"lzma.7z", "-m0=lzma"},
      {"nonsolid.7z", "-ms=off"},          {"plainheader.7z", "-mhc=off"},
      {"lzma-plain.7z", "-m0=lzma -ms=off -mhc=off"}, {"stored.7z", "-mx=0"},
      {"bcj.7z", "-m0=bcj -m1=lzma"},
  };
  for (const auto& c : cases) {
    const std::string path = Make(c.name, c.options);
    const Lines expected = SevenZipListing(dir_, path);
    EXPECT_EQ(expected.size(), 8u) << c.name;
    EXPECT_EQ(ListArchive(path), expected) << c.name;
  }
}

TEST_F(SevenZipTest, EncryptedMembersListButEncryptedHeadersListNothing) {
  const std::string members = Make("members.7z", "-psecret");
  EXPECT_EQ(ListArchive(members), SevenZipListing(dir_, members, "-psecret"));
  EXPECT_EQ(ListArchive(members).size(), 8u);
  const std::string headers = Make("headers.7z", "-psecret -mhe=on");
  TCmpRead reader;
  reader.SetFileName(headers);
  EXPECT_EQ(reader.Count(), 0u);
  TSevenZipVolumes source({headers});
  EXPECT_EQ(ListSevenZip(source).Status, TSevenZipStatus::Encrypted);
}

TEST_F(SevenZipTest, VolumesAreJoinedFromTheFirstWhicheverIsAssigned) {
  Make("set.7z", "-mx=0 -v20k");
  ASSERT_TRUE(fs::exists(dir_ / "set.7z.004"));
  const Lines expected = SevenZipListing(dir_, dir_ / "set.7z.001");
  EXPECT_EQ(expected.size(), 8u);
  EXPECT_EQ(ListArchive(dir_ / "set.7z.001"), expected);
  EXPECT_EQ(ListArchive(dir_ / "set.7z.003"), expected);
  EXPECT_EQ(SevenZipVolumePaths(dir_ / "set.7z.002").front(), dir_ / "set.7z.001");
  // The header sits in the last volume: a set cut short lists nothing.
  fs::remove(dir_ / "set.7z.002");
  EXPECT_EQ(ListArchive(dir_ / "set.7z.001"), Lines{});
}

TEST_F(SevenZipTest, TwentyThousandMembersInStoredOrder) {
  fs::create_directories(dir_ / "many");
  for (int i = 0; i < 20000; ++i) std::ofstream(dir_ / ("many/m" + std::to_string(i) + ".nds")) << i;
  ASSERT_TRUE(test::RunSevenZip(dir_ / "many", "a ../many.7z ."));
  const Lines listing = ListArchive(dir_ / "many.7z");
  EXPECT_EQ(listing.size(), 20000u);
  EXPECT_EQ(listing, SevenZipListing(dir_, dir_ / "many.7z"));
}

// Every cut and every flipped bit in the headers is caught by a CRC: the
// listing is then empty; flips in member data leave it whole.
TEST_F(SevenZipTest, CutOrFlippedArchivesListAllOrNothing) {
  for (const char* options : {"-mhc=on", "-mhc=off -m0=lzma"}) {
    const std::string bytes = test::ReadFile(Make("whole.7z", options));
    const Lines whole = ListArchive(dir_ / "whole.7z");
    for (size_t cut = 4; cut < bytes.size(); cut += 1 + cut / 8) {
      EXPECT_EQ(ListArchive(dir_.Write("cut.7z", bytes.substr(0, cut))), Lines{}) << cut;
    }
    for (size_t at = 4; at < bytes.size(); at += (at < 32 || at + 400 > bytes.size()) ? 1 : 997) {
      std::string flipped = bytes;
      flipped[at] = char(flipped[at] ^ (1 << at % 8));
      const Lines listing = ListArchive(dir_.Write("flipped.7z", flipped));
      EXPECT_TRUE(listing.empty() || listing == whole) << options << " byte " << at;
    }
  }
}

// Rewrites the CRCs of the signature header after `archive`'s end header
// was changed in place.
std::string Rewrap(std::string archive) {
  const auto u64 = [&archive](size_t at) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | uint8_t(archive[at + size_t(i)]);
    return v;
  };
  const std::string header = archive.substr(size_t(32 + u64(12)), size_t(u64(20)));
  return test::WrapSevenZipHeader(header, archive.substr(32, size_t(u64(12))));
}

TEST_F(SevenZipTest, HostileDictionarySizeIsBoundedByTheHeader) {
  std::string archive = test::ReadFile(Make("lzma.7z", "-m0=lzma"));
  const std::string lzmaCoder("\x23\x03\x01\x01\x05\x5D", 6);
  const size_t at = archive.rfind(lzmaCoder);
  ASSERT_NE(at, std::string::npos);
  archive.replace(at + lzmaCoder.size(), 4, "\xFF\xFF\xFF\xFF");
  EXPECT_EQ(ListArchive(dir_.Write("huge-dictionary.7z", Rewrap(archive))), ListArchive(dir_ / "lzma.7z"));
}

std::string B(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out += char(b);
  return out;
}

std::string U32(uint32_t v) {
  std::string out;
  test::PutU32(out, v);
  return out;
}

// Streams of one Copy folder of `size` bytes, with the folder's CRC when
// given, then `subStreams` (an info block from its ID to its end).
std::string CopyStreams(uint64_t size, std::optional<uint32_t> crc, const std::string& subStreams = "") {
  return B({0x06, 0, 1, 0x09}) + SevenZipNumber(size) + B({0, 0x07, 0x0B, 1, 0, 1, 0x01, 0x00, 0x0C}) +
         SevenZipNumber(size) + (crc ? B({0x0A, 1}) + U32(*crc) : "") + B({0}) + subStreams + B({0});
}

// Files info with ASCII names and `extra` properties before the names.
std::string Files(const Lines& names, const std::string& extra = "") {
  std::string stored(1, '\0');
  for (const std::string& name : names) {
    for (char c : name) stored += std::string{c, '\0'};
    stored += std::string(2, '\0');
  }
  return B({0x05}) + SevenZipNumber(names.size()) + extra + B({0x11}) + SevenZipNumber(stored.size()) + stored + B({0});
}

TSevenZipListing ListBytes(const std::string& archive) {
  TSevenZipMemory source({reinterpret_cast<const uint8_t*>(archive.data()), archive.size()});
  return ListSevenZip(source);
}

Lines Listed(const std::string& header, const std::string& packed = "alpha") {
  const TSevenZipListing listing = ListBytes(test::WrapSevenZipHeader(header, packed));
  EXPECT_EQ(listing.Status, TSevenZipStatus::Listed) << listing.Problem;
  return test::Listing(listing.Entries);
}

TEST(SevenZipHeaders, MembersWithoutTheirOwnCrcTakeTheFoldersOrAreLeftOut) {
  const uint32_t alpha = 0xD0E0396A;
  // One stream: the folder's CRC is the member's.
  EXPECT_EQ(Listed(B({1, 4}) + CopyStreams(5, alpha) + Files({"a"}) + B({0})), Lines{"D0E0396A  0  5  a"});
  // An unknown property is stepped over by its size.
  EXPECT_EQ(Listed(B({1, 4}) + CopyStreams(5, alpha) + Files({"a"}, B({0x30, 3, 9, 9, 9})) + B({0})),
            Lines{"D0E0396A  0  5  a"});
  // Two streams in a folder with no digests of their own; one stream without
  // any CRC.
  const std::string twoStreams = B({0x08, 0x0D, 2, 0x09, 2, 0});
  EXPECT_EQ(Listed(B({1, 4}) + CopyStreams(5, alpha, twoStreams) + Files({"a", "b"}) + B({0})), Lines{});
  EXPECT_EQ(Listed(B({1, 4}) + CopyStreams(5, std::nullopt) + Files({"a"}) + B({0})), Lines{});
}

TEST(SevenZipHeaders, HostileHeadersAreRefusedWithTheirReason) {
  const auto problem = [](const std::string& header, const std::string& packed = "") {
    const TSevenZipListing listing = ListBytes(test::WrapSevenZipHeader(header, packed));
    EXPECT_EQ(listing.Status, TSevenZipStatus::Damaged);
    EXPECT_TRUE(listing.Entries.empty());
    return listing.Problem;
  };
  EXPECT_EQ(problem(B({1, 5}) + SevenZipNumber(uint64_t{1} << 60) + B({0, 0})),
            "Damaged 7z header: a count exceeds the header.");
  EXPECT_EQ(problem(B({1, 4}) + CopyStreams(5, 0) + Files({"a", "b"}) + B({0}), "alpha"),
            "Damaged 7z header: files and streams disagree.");
  EXPECT_EQ(problem(B({0x17}) + CopyStreams(65 << 20, std::nullopt), "x"),
            "Damaged 7z archive: the header unpacks to more than 64 MiB.");
  // A packed header whose contents are packed again.
  const std::string inner = B({0x17}) + CopyStreams(5, std::nullopt);
  const uint32_t innerCrc = Crc32(inner.data(), inner.size());
  EXPECT_EQ(problem(B({0x17}) + CopyStreams(inner.size(), innerCrc), inner),
            "Damaged 7z header: an unpacked header is packed again.");
  EXPECT_EQ(problem(B({0x17}) + CopyStreams(inner.size(), innerCrc ^ 1), inner), "Packed 7z header: CRC mismatch.");
  // A header offset that runs past the end of the archive.
  std::string far = test::WrapSevenZipHeader(B({1, 0}));
  far[19] = '\x40';
  far.replace(8, 4, U32(Crc32(far.data() + 12, 20)));
  EXPECT_EQ(ListBytes(far).Problem, "Damaged 7z archive: a header lies beyond the end.");
  EXPECT_EQ(ListBytes(test::WrapSevenZipHeader("")).Status, TSevenZipStatus::Listed);  // an empty archive
}

class SevenZipVolumeNames : public test::TempDirTest {};

TEST_F(SevenZipVolumeNames, SetRunsFromDot001WhileTheNextNumberExists) {
  for (const char* name : {"s.7z.001", "s.7z.002", "s.7z.004", "x.01", "plain.7z"}) dir_.Write(name, "");
  const Lines set = {dir_ / "s.7z.001", dir_ / "s.7z.002"};
  EXPECT_EQ(SevenZipVolumePaths(dir_ / "s.7z.001"), set);
  EXPECT_EQ(SevenZipVolumePaths(dir_ / "s.7z.002"), set);
  // After a gap, with fewer than three digits, or without a number: alone.
  for (const char* name : {"s.7z.004", "x.01", "plain.7z"}) EXPECT_EQ(SevenZipVolumePaths(dir_ / name), Lines{dir_ / name});
}

class SevenZipScanTest : public test::ScanTest {};

TEST_F(SevenZipScanTest, DumpsInSevenZipArchivesAndVolumeSetsAreFound) {
  const std::string one = test::Dump("one"), two = test::Dump("two"), three = test::Dump("three");
  test::AddEntry(state_, "1", "One", test::CrcOf(one));
  test::AddEntry(state_, "2", "Two", test::CrcOf(two));
  test::AddEntry(state_, "3", "Three", test::CrcOf(three));
  dir_.Write("sub/one.7z", test::BuildSevenZip({{"one.nds", one}}));
  const std::string set = test::BuildSevenZip({{"two.nds", two}, {"dir/three.nds", three}});
  dir_.Write("set.7z.001", set.substr(0, 20000));
  dir_.Write("set.7z.002", set.substr(20000, 20000));
  dir_.Write("set.7z.003", set.substr(40000));
  Scan(dir_.Path());
  EXPECT_EQ(state_.Catalogue[0].StatusText, Root() + "sub/one.7z\\one.nds");
  EXPECT_EQ(state_.Catalogue[1].StatusText, Root() + "set.7z.001\\two.nds");
  EXPECT_EQ(state_.Catalogue[2].StatusText, Root() + "set.7z.001\\dir/three.nds");
  EXPECT_EQ(state_.FoundCount, 3);
}

}  // namespace
}  // namespace vexmoor
