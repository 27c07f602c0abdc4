#include "scan/EndPass.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>
#include <vector>

#include "scan/BadDump.h"
#include "support/TempDir.h"
#include "tests/scan/ScanTestUtil.h"

namespace vexmoor {
namespace {

TEST(EndPassTest, StatusColumnTexts) {
  TRomItem item;
  item.Status = StatusMissing;
  EXPECT_EQ(EndPassStatusText(item), "Missing");
  item.Status = StatusCached;
  EXPECT_EQ(EndPassStatusText(item), "Cached");
  item.Status = StatusFound;
  item.StatusText = "/roms/eu/a:b.nds";
  EXPECT_EQ(EndPassStatusText(item), "Found : \"a:b.nds\"  ::  \"/roms/eu/\"");
  item.StatusText = "/roms/x.zip\\folder/e.nds";
  EXPECT_EQ(EndPassStatusText(item), "Found : \"folder/e.nds\"  ::  \"/roms/x.zip\\\"");
  item.StatusText = "/roms/set.part1.rar\\dir\\f.nds";
  EXPECT_EQ(EndPassStatusText(item), "Found : \"dir\\f.nds\"  ::  \"/roms/set.part1.rar\\\"");
  item.StatusText = "  ";
  EXPECT_EQ(EndPassStatusText(item), std::nullopt);
  item.Status = StatusBad;
  item.StatusText = "/roms/bad one.nds";
  EXPECT_EQ(EndPassStatusText(item),
            std::string("Bad : bad one.nds \x0A Error : Bad SMT v1.0 Dump"));
  item.Status = 5;
  EXPECT_EQ(EndPassStatusText(item), std::nullopt);
}

class EndPassFileTest : public test::TempDirTest {};

// The right-click menu's "Open Containing Folder" and "Copy Path".
TEST(EndPassTest, FoundDumpFileIsTheLooseFileOrTheArchive) {
  TRomItem item;
  item.Status = StatusFound;
  item.StatusText = "/roms/eu/a:b.nds";
  EXPECT_EQ(FoundDumpFile(item), "/roms/eu/a:b.nds");
  item.StatusText = "/roms/x.zip\\folder/e.nds";
  EXPECT_EQ(FoundDumpFile(item), "/roms/x.zip");
  item.Status = StatusBad;
  item.StatusText = "/roms/set.part1.rar\\dir\\f.nds";
  EXPECT_EQ(FoundDumpFile(item), "/roms/set.part1.rar");
  item.StatusText = " ";
  EXPECT_EQ(FoundDumpFile(item), "");
  item.Status = StatusCached;
  item.StatusText = "Cached";
  EXPECT_EQ(FoundDumpFile(item), "");
}

TEST_F(EndPassFileTest, SetsTheColumnInListOrderAndWritesTheCacheBesideTheDat) {
  TAuditState state;
  state.DatPath = dir_ / "my.dat";
  state.CurrentDat = "my.dat";
  test::AddEntry(state, "1", "B", 0xBBBBBBBB, StatusFound).StatusText = "/r/b.nds";
  test::AddEntry(state, "2", "A", 0xAAAAAAAA, StatusFound).StatusText = "/r/a.nds";
  test::AddEntry(state, "3", "C", 0xCCCCCCCC, StatusMissing);
  state.CacheTable.Append(0xCCCCCCCC, 1);
  state.DatHeader.Rebuild({"[INFO]", "SORT=name"});
  TRomList list;
  TSortState sort;
  list.Fill(state.Catalogue, state.DatHeader, sort);
  RunEndPass(state, list);
  EXPECT_EQ(state.FoundCount, 2);
  EXPECT_EQ(list.Text(0, kSubItemStatus), "Found : \"a.nds\"  ::  \"/r/\"");
  EXPECT_EQ(list.Text(2, kSubItemStatus), "Missing");
  // Pairs already there first, then the new ones in list order.
  EXPECT_EQ(test::ReadFile(dir_ / "my.qcache"), std::string("QCAC\xE8\x03\x03\0\0\0"
                                                            "\xCC\xCC\xCC\xCC\x01"
                                                            "\xAA\xAA\xAA\xAA\x01"
                                                            "\xBB\xBB\xBB\xBB\x01",
                                                            25));
  RunEndPass(state, list);  // found again: not added twice
  EXPECT_EQ(test::ReadFile(dir_ / "my.qcache").size(), 25u);
}

TEST_F(EndPassFileTest, APumpedPassMatchesTheOneShotPassEvenWhenAPumpSortsTheList) {
  struct TSide {
    TAuditState state;
    TRomList list;
    TSortState sort;
  } plain, pumped;
  for (TSide* side : {&plain, &pumped}) {
    side->state.DatHeader.Rebuild({"[INFO]", "SORT=NAME"});
    for (uint32_t i = 0; i < 3000; ++i) {
      const int32_t status = i % 3 == 0 ? StatusFound : i % 3 == 1 ? StatusMissing : StatusCached;
      TRomItem& item =
          test::AddEntry(side->state, std::to_string(i), "Name " + std::to_string(i % 977),
                         0x10000000 + i * 7919, status);
      if (status == StatusFound) item.StatusText = "/r/" + std::to_string(i) + ".nds";
    }
    side->list.Fill(side->state.Catalogue, side->state.DatHeader, side->sort);
  }
  plain.state.DatPath = dir_ / "plain.qdat";
  pumped.state.DatPath = dir_ / "pumped.qdat";
  RunEndPass(plain.state, plain.list);
  int pumps = 0;
  bool textsUnwritten = true;
  RunEndPass(pumped.state, pumped.list, [&] {
    if (++pumps == 1) pumped.list.ColumnClick(3, pumped.sort);  // by CRC, mid-pass
    for (const TListRow& row : pumped.list)
      textsUnwritten = textsUnwritten && pumped.list.RowText(row, kSubItemStatus).rfind("Found", 0) != 0 &&
                       pumped.list.RowText(row, kSubItemStatus) != "Missing";
  });
  EXPECT_GE(pumps, 2);
  EXPECT_TRUE(textsUnwritten);
  EXPECT_EQ(pumped.state.FoundCount, 1000);
  EXPECT_EQ(plain.state.FoundCount, 1000);
  std::vector<std::string> byEntry(3000);
  for (const TListRow& row : plain.list) byEntry[row.Entry] = plain.list.RowText(row, kSubItemStatus);
  for (const TListRow& row : pumped.list)
    EXPECT_EQ(pumped.list.RowText(row, kSubItemStatus), byEntry[row.Entry]) << row.Entry;
  // The cache table grew in the rows' order as the pass began.
  EXPECT_EQ(test::ReadFile(dir_ / "pumped.qcache"), test::ReadFile(dir_ / "plain.qcache"));
}

// Regression: a scan with no dat loaded wiped a cache. The settings named a
// dat that is missing; its cache beside the bare name was replaced by an
// empty one.
TEST_F(EndPassFileTest, AScanWithNoDatLoadedWipesNoCache) {
  // The bare name leads into the current folder, as in the window.
  struct TInside {
    std::filesystem::path before = std::filesystem::current_path();
    ~TInside() { std::filesystem::current_path(before); }
  } inside;
  std::filesystem::current_path(dir_.Path());
  const std::string held = std::string("QCAC\xE8\x03\x01\0\0\0\x11\x11\x11\x11\x01", 15);
  dir_.Write("kill.qcache", held);
  TAuditState state;
  state.CurrentDat = "kill.qdat";  // as the settings name it; nothing loaded
  TRomList list;
  RunEndPass(state, list);
  EXPECT_EQ(test::ReadFile(dir_ / "kill.qcache"), held);
}

TEST_F(EndPassFileTest, ShortFilesAreNotBadDumps) {
  EXPECT_FALSE(IsBadSmtDump(dir_.Write("tiny.nds", "")));
  std::string exact = test::BadDump("x").substr(0, kSmtBadDumpOffset + kSmtBadDumpBlock);
  EXPECT_TRUE(IsBadSmtDump(dir_.Write("exact.nds", exact)));
  exact.back() = '\x01';  // the padding must be zeros
  EXPECT_FALSE(IsBadSmtDump(dir_.Write("padding.nds", exact)));
  exact.pop_back();
  EXPECT_FALSE(IsBadSmtDump(dir_.Write("short.nds", exact)));
}

// The scan tests a loose dump from the bytes it read for the CRC (the first
// block, or one read of the block when the first came back short); its
// verdicts, CRC and size are the file test's and the file's.
TEST_F(EndPassFileTest, TheScanTellsBadDumpsFromTheBytesItReadAsTheFileTestDoes) {
  std::string exact = test::BadDump("x").substr(0, kSmtBadDumpOffset + kSmtBadDumpBlock);
  std::string padding = exact;
  padding.back() = '\x01';
  std::string large = test::BadDump("large");
  large.resize(size_t{3} << 20, 'L');  // read in several blocks
  const std::vector<std::pair<std::string, std::string>> files = {
      {"tiny.nds", ""},           {"exact.NDS", exact},
      {"padding.nds", padding},   {"short.nds", exact.substr(0, exact.size() - 1)},
      {"large.nds", large},       {"plain.nds", test::Dump("plain", 40000)}};
  const TScanMasks masks("*.nds");
  for (const auto& [name, data] : files) {
    SCOPED_TRACE(name);
    const std::string path = dir_.Write(name, data);
    const TExamined examined = ExamineWorkItem(path, masks);
    EXPECT_EQ(examined.Kind, TWorkKind::LooseDump);
    EXPECT_TRUE(examined.TestedForBadDump);
    EXPECT_EQ(examined.BadDump, IsBadSmtDump(path));
    EXPECT_EQ(examined.BadDump, name == "exact.NDS" || name == "large.nds");
    EXPECT_EQ(examined.Crc, test::CrcOf(data));
    EXPECT_EQ(examined.Size, data.size());
    EXPECT_EQ(IsBadSmtDumpHead(reinterpret_cast<const uint8_t*>(data.data()), data.size()),
              examined.BadDump);
  }
  // A file the dat's mask takes but the bad-dump mask does not is not tested.
  EXPECT_FALSE(ExamineWorkItem(dir_.Write("x.bin", exact), TScanMasks("*.bin")).TestedForBadDump);
}

}  // namespace
}  // namespace vexmoor
