#include "scan/FolderReport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/Path.h"
#include "catalogue/DigestKind.h"
#include "scan/Digest.h"
#include "support/ArchiveBuilder.h"
#include "support/CrcForge.h"
#include "support/SevenZipBuilder.h"
#include "tests/scan/ScanTestUtil.h"

namespace vexmoor {
namespace {

using test::AddEntry;
using test::CrcOf;
using test::Dump;

class FolderReportTest : public test::ScanTest {
 protected:
  // Every record by its location (archive path, '\', member).
  std::map<std::string, TDumpRecord> ByLocation(const TScanOutcome& outcome) {
    std::map<std::string, TDumpRecord> records;
    for (const TDumpRecord& record : outcome.Folder.Records())
      records.emplace(RecordLocation(record), record);
    return records;
  }
  static uint32_t Position(size_t position) { return static_cast<uint32_t>(position); }
};

TEST_F(FolderReportTest, EveryKindAtOnceLooseAndInsideZip7zAndRar) {
  const std::string good = Dump("good"), wrong = Dump("wrong size"), bad = test::BadDump("bad");
  AddEntry(state_, "1", "Good", CrcOf(good)).Size = good.size();
  AddEntry(state_, "2", "Wrong", CrcOf(wrong)).Size = wrong.size() + 1;
  AddEntry(state_, "3", "Bad", CrcOf(bad));
  dir_.Write("good.nds", good);
  dir_.Write("wrong.nds", wrong);
  dir_.Write("bad.nds", bad);
  dir_.Write("stray bad.nds", test::BadDump("no release"));
  dir_.Write("junk.nds", Dump("junk"));
  dir_.Write("notes.txt", "not a dump");
  dir_.Write("z.zip", test::BuildZip({{"junk.nds", Dump("zip junk")},
                                      {"wrong.nds", wrong},
                                      {"readme.txt", "not a dump"}}));
  dir_.Write("s.7z", test::BuildSevenZip({{"junk.nds", Dump("7z junk")}, {"wrong.nds", wrong}}));
  dir_.Write("r.rar", test::BuildRarVolume({{"junk.nds", Dump("rar junk")}, {"wrong.nds", wrong}}));
  dir_.Write("broken.zip", "this is no zip");
  const TScanOutcome outcome = Scan(dir_.Path());
  auto records = ByLocation(outcome);
  const auto kindOf = [&](const std::string& location) {
    return records.count(location) ? DumpKindText(records[location].Kind) : "no record";
  };
  EXPECT_STREQ(kindOf(dir_ / "good.nds"), "Matched");
  EXPECT_STREQ(kindOf(dir_ / "bad.nds"), "Bad dump");
  EXPECT_EQ(records[dir_ / "bad.nds"].Entry, 2u);
  EXPECT_STREQ(kindOf(dir_ / "stray bad.nds"), "Bad dump");
  EXPECT_EQ(records[dir_ / "stray bad.nds"].Entry, kNoEntry);
  for (const std::string& archive : {std::string("z.zip"), std::string("s.7z"), std::string("r.rar")}) {
    SCOPED_TRACE(archive);
    EXPECT_STREQ(kindOf(dir_ / archive + "\\junk.nds"), "Unknown");
    EXPECT_STREQ(kindOf(dir_ / archive + "\\wrong.nds"), "Wrong size");
    EXPECT_EQ(records[dir_ / archive + "\\wrong.nds"].Entry, 1u);
    EXPECT_EQ(records[dir_ / archive + "\\wrong.nds"].Size, wrong.size());
  }
  EXPECT_STREQ(kindOf(dir_ / "junk.nds"), "Unknown");
  EXPECT_EQ(records[dir_ / "junk.nds"].Crc, CrcOf(Dump("junk")));
  EXPECT_STREQ(kindOf(dir_ / "wrong.nds"), "Wrong size");
  // Not dumps: the mask does not take them.
  EXPECT_STREQ(kindOf(dir_ / "notes.txt"), "no record");
  EXPECT_STREQ(kindOf(dir_ / "z.zip\\readme.txt"), "no record");
  ASSERT_STREQ(kindOf(dir_ / "broken.zip"), "Unreadable");
  EXPECT_EQ(outcome.Folder.ReasonOf(records[dir_ / "broken.zip"]), outcome.Unexamined.at(0));

  // The counts equal the rows, kind by kind.
  const auto counts = outcome.Folder.Counts();
  const std::vector<const TDumpRecord*> rows = outcome.Folder.Rows();
  size_t reported = 0;
  for (const TDumpKind kind : kReportedKinds) {
    reported += counts[size_t(kind)];
    EXPECT_EQ(counts[size_t(kind)],
              size_t(std::count_if(rows.begin(), rows.end(), [&](auto* row) { return row->Kind == kind; })));
  }
  EXPECT_EQ(reported, rows.size());
  EXPECT_EQ(counts[size_t(TDumpKind::Unknown)], 4u);
  EXPECT_EQ(counts[size_t(TDumpKind::WrongSize)], 4u);
  EXPECT_EQ(counts[size_t(TDumpKind::BadDump)], 2u);
  EXPECT_EQ(counts[size_t(TDumpKind::Unreadable)], 1u);
  EXPECT_EQ(counts[size_t(TDumpKind::Matched)], 1u);
  EXPECT_EQ(counts[size_t(TDumpKind::Duplicate)], 0u);

  // Workers examining ahead change nothing of it.
  const TScanOutcome ahead = Scan(dir_.Path(), 4);
  auto again = ByLocation(ahead);
  ASSERT_EQ(again.size(), records.size());
  for (const auto& [location, record] : records) {
    EXPECT_EQ(again[location].Kind, record.Kind) << location;
    EXPECT_EQ(again[location].Entry, record.Entry) << location;
  }
}

TEST_F(FolderReportTest, AReleasePresentThreeTimesIsOneMatchAndTwoDuplicatesOfItsLocation) {
  const std::string data = Dump("thrice");
  AddEntry(state_, "1", "Other", 0x1234);
  AddEntry(state_, "2", "Thrice", CrcOf(data));
  dir_.Write("a/one.nds", data);
  dir_.Write("b/copies.zip", test::BuildZip({{"two.nds", data}}));
  dir_.Write("c/copies.7z", test::BuildSevenZip({{"three.nds", data}}));
  const TScanOutcome outcome = Scan(dir_.Path());
  const TRomItem& item = state_.Catalogue[1];
  ASSERT_EQ(outcome.Folder.Records().size(), 3u);
  int matched = 0, duplicates = 0;
  for (const TDumpRecord& record : outcome.Folder.Records()) {
    EXPECT_EQ(record.Entry, 1u);
    if (record.Kind == TDumpKind::Matched) {
      ++matched;
      EXPECT_EQ(RecordLocation(record), item.StatusText);
    } else {
      ++duplicates;
      EXPECT_EQ(record.Kind, TDumpKind::Duplicate);
      EXPECT_NE(RecordLocation(record), item.StatusText);
    }
  }
  EXPECT_EQ(matched, 1);
  EXPECT_EQ(duplicates, 2);
}

TEST_F(FolderReportTest, OneDumpOfTwoReleasesWithOneImageIsMatchedNotADuplicate) {
  const std::string data = Dump("shared");
  AddEntry(state_, "1", "First", CrcOf(data));
  AddEntry(state_, "2", "Second", CrcOf(data));
  dir_.Write("s.nds", data);
  const TScanOutcome outcome = Scan(dir_.Path());
  ASSERT_EQ(outcome.Folder.Records().size(), 1u);
  EXPECT_EQ(outcome.Folder.Records()[0].Kind, TDumpKind::Matched);
  EXPECT_EQ(outcome.Folder.Records()[0].Entry, 0u);
}

TEST_F(FolderReportTest, AMaskThatExcludesATextFileLeavesItOutUnlessItMatched) {
  const std::string text = "a text file the dat lists by its CRC";
  AddEntry(state_, "1", "Listed text", CrcOf(text));
  dir_.Write("notes.txt", "loose text: not walked as a dump");
  dir_.Write("z.zip", test::BuildZip({{"readme.txt", "unlisted text"}, {"listed.txt", text}}));
  const TScanOutcome outcome = Scan(dir_.Path());
  ASSERT_EQ(outcome.Folder.Records().size(), 1u);
  EXPECT_EQ(outcome.Folder.Records()[0].Member, "listed.txt");
  EXPECT_EQ(outcome.Folder.Records()[0].Kind, TDumpKind::Matched);
  EXPECT_TRUE(outcome.Folder.Rows().empty());
}

TEST_F(FolderReportTest, ARealRarWithTheSameFileTwiceGivesOneDuplicate) {
  const std::string rar = test::SharedFixture("rar/test_read_format_rar.rar");
  if (rar.empty()) GTEST_SKIP() << "no shared fixtures";
  state_.DatMask = "*.txt";
  AddEntry(state_, "1", "Test text", 0xBEC8A242).Size = 20;
  // Copied into a folder of its own: the fixtures' folder holds other rars
  // with the same text, which would take the release from this one, and
  // Windows gives a test no links.
  const std::string folder = dir_.Path() + "/rars";
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(rar, folder + "/t.rar");
  const TScanOutcome outcome = Scan(folder);
  std::vector<std::string> kinds;
  for (const TDumpRecord& record : outcome.Folder.Records())
    if (record.Path == folder + "/t.rar") kinds.push_back(std::string(DumpKindText(record.Kind)) + " " + record.Member);
  // testlink and the folders are no "*.txt" dumps.
  EXPECT_EQ(kinds, (std::vector<std::string>{"Duplicate test.txt", "Matched testdir\\test.txt"}));
}

TEST_F(FolderReportTest, ACrcTwinIsAChecksumMismatchNamingTheEntryItWasTakenFor) {
  const std::string data = Dump("proven"), twin = test::CrcTwin(data);
  TRomItem& item = AddEntry(state_, "1", "Proven", CrcOf(data));
  item.Size = data.size();
  THasher hasher(kDigestSha1);
  hasher.Add(reinterpret_cast<const uint8_t*>(data.data()), data.size());
  item.Sha1 = hasher.Finish().Sha1;
  dir_.Write("twin.nds", twin);
  dir_.Write("a/real.nds", data);
  const TScanOutcome outcome = Scan(dir_.Path());
  auto records = ByLocation(outcome);
  EXPECT_EQ(records[dir_ / "twin.nds"].Kind, TDumpKind::ChecksumMismatch);
  EXPECT_EQ(records[dir_ / "twin.nds"].Entry, 0u);
  EXPECT_EQ(records[dir_ / "a/real.nds"].Kind, TDumpKind::Matched);
  ASSERT_EQ(outcome.Mismatches.size(), 1u);
  EXPECT_EQ(outcome.Folder.Counts()[size_t(TDumpKind::ChecksumMismatch)], 1u);
}

TEST(DumpKindTextTest, KindsReadAsACollectorSaysThem) {
  std::vector<std::string> texts;
  for (const TDumpKind kind : kReportedKinds) texts.push_back(DumpCountText(kind, 2));
  EXPECT_EQ(texts, (std::vector<std::string>{" Unknown : 2", " Duplicate : 2", " Wrong size : 2",
                                             " Checksum mismatch : 2", " Bad dump : 2",
                                             " Unreadable : 2"}));
}

}  // namespace
}  // namespace vexmoor
