// Verification by a dat's strong checksums: loose dumps in the same read,
// archive members unpacked with the option, dumps that share a CRC and size
// with a release but not its bytes, trimmed dumps, and what the results say.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "catalogue/DigestKind.h"
#include "scan/Digest.h"
#include "scan/EndPass.h"
#include "support/ArchiveBuilder.h"
#include "support/CrcForge.h"
#include "support/Programs.h"
#include "support/RandomData.h"
#include "support/SevenZipBuilder.h"
#include "tests/scan/ScanTestUtil.h"

namespace vexmoor {
namespace {

namespace fs = std::filesystem;
using test::CrcOf;

std::string SumOf(const std::string& data, uint8_t kind) {
  THasher hasher(kind);
  hasher.Add(reinterpret_cast<const uint8_t*>(data.data()), data.size());
  return hasher.Finish().Of(kind);
}

TEST(Digest, KnownAnswersCopiesAndRuns) {
  EXPECT_EQ(SumOf("abc", kDigestSha1), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(SumOf("abc", kDigestMd5), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(SumOf("abc", kDigestSha256),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // A copy goes on from the same bytes without touching the original.
  THasher hasher(kDigestSha1 | kDigestMd5);
  hasher.Add(reinterpret_cast<const uint8_t*>("ab"), 2);
  THasher padded(hasher);
  padded.AddRun(0xFF, 100000);
  hasher.Add(reinterpret_cast<const uint8_t*>("c"), 1);
  const TDigests sums = hasher.Finish();
  EXPECT_EQ(sums.Sha1, SumOf("abc", kDigestSha1));
  EXPECT_EQ(sums.Md5, SumOf("abc", kDigestMd5));
  EXPECT_EQ(sums.Sha256, "");
  EXPECT_EQ(padded.Finish().Sha1, SumOf("ab" + std::string(100000, '\xFF'), kDigestSha1));
  EXPECT_TRUE(SameHexDigest("A9993E", "a9993e"));
  EXPECT_FALSE(SameHexDigest("a9993e", "a9993f"));
  EXPECT_EQ(StrongestDigest(kDigestMd5 | kDigestSha1), kDigestSha1);
  EXPECT_EQ(StrongestDigest(kAllDigests), kDigestSha256);
}

TEST(CrcForge, TwinHasTheSizeAndCrcButOtherBytes) {
  const std::string dump = test::Dump("forge me", 5000);
  const std::string twin = test::CrcTwin(dump);
  EXPECT_EQ(twin.size(), dump.size());
  EXPECT_EQ(CrcOf(twin), CrcOf(dump));
  EXPECT_NE(twin, dump);
}

class VerifyScanTest : public test::ScanTest {
 protected:
  // An entry for `data` with its size and the sum of `kind` (none for 0).
  TRomItem& Entry(const std::string& name, const std::string& data, uint8_t kind = kDigestSha1) {
    TRomItem& item = test::AddEntry(state_, std::to_string(state_.Catalogue.Count() + 1), name, CrcOf(data));
    item.Size = data.size();
    if (kind) {
      // The dat gives the weaker sums too; the strongest decides.
      item.Md5 = SumOf(data, kDigestMd5);
      if (kind != kDigestMd5) item.Sha1 = SumOf(data, kDigestSha1);
      if (kind == kDigestSha256) item.Sha256 = SumOf(data, kDigestSha256);
    }
    return item;
  }
  std::string StatusColumn(size_t entry) const {
    for (const TListRow& row : list_)
      if (row.Entry == entry) return list_.RowText(row, kSubItemStatus);
    return "(no row)";
  }
};

TEST_F(VerifyScanTest, LooseDumpsAreProvenByTheStrongestSumAndATwinIsNotFound) {
  const std::string sha1 = test::Dump("sha1 dump", 40000), md5 = test::Dump("md5 dump", 40001),
                    sha256 = test::Dump("sha256 dump", 40002), plain = test::Dump("crc dump", 40003);
  Entry("Sha1", sha1);
  Entry("Md5", md5, kDigestMd5);
  Entry("Sha256", sha256, kDigestSha256);
  Entry("Plain", plain, 0);
  dir_.Write("a.nds", sha1);
  dir_.Write("b.nds", md5);
  dir_.Write("c.nds", sha256);
  dir_.Write("d.nds", plain);
  for (unsigned workers : {1u, 2u}) {
    const TScanOutcome outcome = Scan(dir_.Path(), workers);
    EXPECT_EQ(state_.FoundCount, 4);
    EXPECT_TRUE(outcome.Mismatches.empty());
    EXPECT_EQ(state_.Catalogue[0].VerifiedBy, kDigestSha1);
    EXPECT_EQ(state_.Catalogue[1].VerifiedBy, kDigestMd5);
    EXPECT_EQ(state_.Catalogue[2].VerifiedBy, kDigestSha256);
    EXPECT_EQ(state_.Catalogue[3].VerifiedBy, 0);
    EXPECT_NE(StatusColumn(0).find(" [SHA-1 verified]"), std::string::npos) << StatusColumn(0);
    EXPECT_NE(StatusColumn(2).find(" [SHA-256 verified]"), std::string::npos);
    EXPECT_EQ(StatusColumn(3).find('['), std::string::npos);  // a CRC-only entry has no mark
  }
  // The twins: same size, same CRC, other bytes.
  dir_.Write("a.nds", test::CrcTwin(sha1));
  dir_.Write("b.nds", test::CrcTwin(md5));
  dir_.Write("c.nds", test::CrcTwin(sha256));
  dir_.Write("d.nds", test::CrcTwin(plain));
  for (unsigned workers : {1u, 2u}) {
    for (TRomItem& item : state_.Catalogue) item.Status = StatusMissing;
    const TScanOutcome outcome = Scan(dir_.Path(), workers);
    EXPECT_EQ(state_.FoundCount, 1);  // only the entry without a strong sum
    EXPECT_EQ(state_.Catalogue[0].Status, StatusMissing);
    EXPECT_EQ(state_.Catalogue[3].Status, StatusFound);
    ASSERT_EQ(outcome.Mismatches.size(), 3u);
    // In the order the folder listing gave the files.
    std::vector<TChecksumMismatch> mismatches = outcome.Mismatches;
    std::sort(mismatches.begin(), mismatches.end(),
              [](const TChecksumMismatch& a, const TChecksumMismatch& b) { return a.Entry < b.Entry; });
    const TChecksumMismatch& first = mismatches[0];
    EXPECT_EQ(first.Path, Root() + "a.nds");
    EXPECT_EQ(first.Member, "");
    EXPECT_EQ(first.Size, sha1.size());
    EXPECT_EQ(first.Crc, CrcOf(sha1));
    EXPECT_EQ(first.Entry, 0u);
    EXPECT_EQ(first.Checksum, kDigestSha1);
    EXPECT_EQ(mismatches[1].Checksum, kDigestMd5);
    EXPECT_EQ(mismatches[2].Checksum, kDigestSha256);
    EXPECT_EQ(ChecksumMismatchText(first, state_.Catalogue[0]),
              "Checksum mismatch: \"" + Root() + "a.nds\" has the CRC-32 and size of 1 Sha1 but another SHA-1");
  }
}

TEST_F(VerifyScanTest, TwinBesideTheRealDumpLeavesTheReleaseFound) {
  const std::string dump = test::Dump("real", 30000);
  Entry("Real", dump);
  dir_.Write("a.nds", test::CrcTwin(dump));
  dir_.Write("b.nds", dump);
  const TScanOutcome outcome = Scan(dir_.Path());
  EXPECT_EQ(state_.Catalogue[0].Status, StatusFound);
  EXPECT_EQ(state_.Catalogue[0].StatusText, Root() + "b.nds");
  EXPECT_EQ(outcome.Mismatches.size(), 1u);
}

TEST_F(VerifyScanTest, TrimmedLooseDumpIsVerifiedAsItsPaddedImage) {
  std::string image = test::RandomBytes(200000, 7);
  image.back() = 0x5A;
  image += std::string(256 * 1024 - image.size(), '\xFF');
  Entry("Image", image);
  const std::string trimmed = image.substr(0, 200000);
  dir_.Write("t.nds", trimmed);
  Scan(dir_.Path());
  EXPECT_EQ(state_.Catalogue[0].Status, StatusFound);
  EXPECT_TRUE(state_.Catalogue[0].Trimmed);
  EXPECT_EQ(state_.Catalogue[0].VerifiedBy, kDigestSha1);
  EXPECT_NE(StatusColumn(0).find(" (trimmed) [SHA-1 verified]"), std::string::npos) << StatusColumn(0);
  // A trimmed twin: its padded image has the release's CRC but not its SHA-1.
  dir_.Write("t.nds", test::CrcTwin(trimmed));
  state_.Catalogue[0].Status = StatusMissing;
  const TScanOutcome outcome = Scan(dir_.Path());
  EXPECT_EQ(state_.Catalogue[0].Status, StatusMissing);
  ASSERT_EQ(outcome.Mismatches.size(), 1u);
  EXPECT_EQ(outcome.Mismatches[0].Size, trimmed.size());
}

TEST_F(VerifyScanTest, ArchiveMembersAreSummedOnlyWithTheOption) {
  const std::string dump = test::Dump("zipped", 30000);
  Entry("Zipped", dump);
  dir_.Write("z.zip", test::BuildZip({{"twin.nds", test::CrcTwin(dump)}}));
  dir_.Write("y.zip", test::BuildZip({{"real.nds", dump}}));
  TScanOutcome outcome = Scan(dir_.Path());
  // Without the option the first member with the CRC marks, unproven.
  EXPECT_EQ(state_.Catalogue[0].Status, StatusFound);
  EXPECT_EQ(state_.Catalogue[0].VerifiedBy, 0);
  EXPECT_NE(StatusColumn(0).find(" [CRC only]"), std::string::npos);
  EXPECT_TRUE(outcome.Mismatches.empty());
  state_.VerifyArchives = true;
  for (unsigned workers : {1u, 2u}) {
    outcome = Scan(dir_.Path(), workers);
    EXPECT_EQ(state_.Catalogue[0].StatusText, Root() + "y.zip\\real.nds");
    EXPECT_EQ(state_.Catalogue[0].VerifiedBy, kDigestSha1);
    ASSERT_EQ(outcome.Mismatches.size(), 1u);
    EXPECT_EQ(outcome.Mismatches[0].Path, Root() + "z.zip");
    EXPECT_EQ(outcome.Mismatches[0].Member, "twin.nds");
    EXPECT_TRUE(outcome.Unexamined.empty());
  }
}

TEST_F(VerifyScanTest, MembersOfEveryFormatAndMethodAreVerified) {
  const std::string a = test::Dump("deflated", 70000), b = test::Dump("lzma", 70001),
                    c = test::Dump("lzma2 solid one", 70002), d = test::Dump("lzma2 solid two", 70003),
                    s = test::Dump("stored", 70004);
  for (const std::string* data : {&a, &b, &c, &d, &s}) Entry("E", *data);
  dir_.Write("src/a.nds", a);
  dir_.Write("src/b.nds", b);
  dir_.Write("src/c.nds", c);
  dir_.Write("src/d.nds", d);
  dir_.Write("roms/s.zip", test::BuildZip({{"s.nds", s}}));
  const std::string src = dir_ / "src", roms = dir_ / "roms";
  if (std::system(("cd " + test::ShellQuote(src) + " && zip -q -9 " + test::ShellQuote(roms + "/a.zip") + " a.nds").c_str()) != 0)
    GTEST_SKIP() << "zip is not installed";
  if (!test::HaveSevenZip()) GTEST_SKIP() << "7z is not installed";
  ASSERT_TRUE(test::RunSevenZip(src, "a -m0=lzma -ms=off " + test::ShellQuote(roms + "/b.7z") + " b.nds"));
  ASSERT_TRUE(test::RunSevenZip(src, "a -m0=lzma2 -ms=on " + test::ShellQuote(roms + "/cd.7z") + " c.nds d.nds"));
  state_.VerifyArchives = true;
  const TScanOutcome outcome = Scan(roms);
  EXPECT_TRUE(outcome.Unexamined.empty()) << outcome.Unexamined.front();
  for (size_t at = 0; at < 5; ++at) {
    EXPECT_EQ(state_.Catalogue[at].Status, StatusFound) << at;
    EXPECT_EQ(state_.Catalogue[at].VerifiedBy, kDigestSha1) << at;
  }
}

// A rar a rar program wrote, copied into a folder of its own (the fixtures'
// folder holds other rars, and Windows gives a test no links): its stored
// "test.txt" members are known by their bytes.
TEST_F(VerifyScanTest, RarMembersAreVerified) {
  const std::string fixture = test::SharedFixture("rar/test_read_format_rar.rar");
  if (fixture.empty()) GTEST_SKIP() << "the shared fixtures are absent";
  const std::string text = "test text document\r\n";
  ASSERT_EQ(CrcOf(text), 0xBEC8A242u);
  Entry("Text", text);
  fs::create_directories(dir_ / "roms");
  fs::copy_file(fixture, dir_ / "roms/t.rar");
  state_.VerifyArchives = true;
  const TScanOutcome outcome = Scan(dir_ / "roms");
  EXPECT_TRUE(outcome.Unexamined.empty()) << outcome.Unexamined.front();
  EXPECT_EQ(state_.Catalogue[0].Status, StatusFound);
  EXPECT_EQ(state_.Catalogue[0].VerifiedBy, kDigestSha1);
  EXPECT_TRUE(outcome.Mismatches.empty());
}

// A rar set of ten volumes whose members each span two or three of them:
// a member is unpacked across its volumes, not cut at the first one's end,
// and the set is read once, from its first volume, whichever the walk meets.
TEST_F(VerifyScanTest, MembersSpanningRarVolumesAreVerifiedWhole) {
  fs::create_directories(dir_ / "roms");
  for (int v = 1; v <= 10; ++v) {
    const std::string name = "test_rar_multivolume_uncompressed_files.part" + std::string(v < 10 ? "0" : "") +
                             std::to_string(v) + ".rar";
    const std::string fixture = test::SharedFixture("rar/" + name);
    if (fixture.empty()) GTEST_SKIP() << "the shared fixtures are absent";
    fs::copy_file(fixture, dir_ / ("roms/" + name));
  }
  TRomItem& html = test::AddEntry(state_, "1", "Html", 0x5E05A663);
  html.Size = 20111;
  html.Sha1 = "de97f8176063f1ea388da05b5d15c0510ecee4db";
  state_.VerifyArchives = true;
  for (unsigned workers : {1u, 2u}) {
    const TScanOutcome outcome = Scan(dir_ / "roms", workers);
    EXPECT_TRUE(outcome.Unexamined.empty()) << outcome.Unexamined.front();
    EXPECT_TRUE(outcome.Mismatches.empty());
    EXPECT_EQ(outcome.Matched, 6);  // the set holds six copies of it, each counted once
    EXPECT_EQ(state_.Catalogue[0].Status, StatusFound);
    EXPECT_EQ(state_.Catalogue[0].VerifiedBy, kDigestSha1);
    EXPECT_EQ(FoundDumpFile(state_.Catalogue[0]), dir_ / "roms/test_rar_multivolume_uncompressed_files.part01.rar");
  }
}

TEST_F(VerifyScanTest, EncryptedAndLyingMembersAreNamedNeverGuessed) {
  const std::string secret = test::Dump("secret", 20000), liar = test::Dump("liar", 20001);
  Entry("Secret", secret);
  Entry("Liar", liar);
  dir_.Write("src/s.nds", secret);
  const std::string roms = dir_ / "roms";
  fs::create_directories(roms);
  if (std::system(("cd " + test::ShellQuote(dir_ / "src") + " && zip -q -P pass " + test::ShellQuote(roms + "/s.zip") + " s.nds").c_str()) != 0)
    GTEST_SKIP() << "zip is not installed";
  // The directory claims the liar's CRC and size; the stored bytes are
  // shorter and other.
  test::RarMember lying{"l.nds", liar.substr(0, 1000)};
  lying.crc = CrcOf(liar);
  lying.unpacked = liar.size();
  dir_.Write("roms/l.rar", test::BuildRarVolume({lying}));
  // An encrypted rar member (b.txt), copied from the fixtures.
  const std::string fixture = test::SharedFixture("rar/test_read_format_rar4_encrypted.rar");
  if (!fixture.empty()) {
    TRomItem& item = test::AddEntry(state_, "3", "Encrypted rar", 0xA9FA1485);
    item.Size = 18;
    item.Sha1 = std::string(40, '0');
    fs::copy_file(fixture, roms + "/e.rar");
  }
  state_.VerifyArchives = true;
  const TScanOutcome outcome = Scan(roms);
  EXPECT_EQ(state_.Catalogue[0].Status, StatusFound);  // by its CRC, as without the option
  EXPECT_EQ(state_.Catalogue[0].VerifiedBy, 0);
  // Either unpacked to what it is (another SHA-1) or refused: never proven.
  EXPECT_NE(state_.Catalogue[1].VerifiedBy, kDigestSha1);
  std::string all;
  for (const std::string& line : outcome.Unexamined) all += line + "\n";
  EXPECT_NE(all.find("s.zip"), std::string::npos) << all;
  EXPECT_NE(all.find("l.rar"), std::string::npos) << all;
  if (fixture.empty()) return;
  EXPECT_EQ(outcome.Unexamined.size(), 3u) << all;
  EXPECT_NE(all.find("e.rar"), std::string::npos) << all;
  EXPECT_EQ(state_.Catalogue[2].Status, StatusFound);
  EXPECT_EQ(state_.Catalogue[2].VerifiedBy, 0);
}

}  // namespace
}  // namespace vexmoor
