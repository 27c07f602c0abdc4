// The encoder window's rows: one per dropped file, sorted by name.
#include "encoder/EncoderRows.h"

#include <gtest/gtest.h>

#include "catalogue/ListLayout.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

using EncoderRows = test::TempDirTest;

std::vector<std::string> Names(const std::vector<TEncoderRow>& rows) {
  std::vector<std::string> names;
  for (const TEncoderRow& row : rows) names.push_back(row.Name);
  return names;
}

TEST_F(EncoderRows, EveryDroppedFileGetsASortedRowOnlyDatsAreLoaded) {
  const std::string zulu = dir_.Write("1.dat", "[INFO]\r\nNAME=zulu\r\n");
  const std::string alpha = dir_.Write("2.dat", "[INFO]\nNAME=Alpha\n");
  const std::string image = dir_.Write("b.png", std::string("\x89PNG\0\0", 6));
  const std::string notes = dir_.Write("c-notes.txt", "NAME=not a dat\n");
  const std::string missing = dir_ / "a-missing.dat";
  const std::vector<TEncoderRow> rows = DroppedEncoderRows({zulu, alpha, image, notes, missing});
  // Word order, not byte order: "a-missing" before "Alpha", lower-case "zulu" last.
  EXPECT_EQ(Names(rows),
            (std::vector<std::string>{"a-missing.dat", "Alpha", "b.png", "c-notes.txt", "zulu"}));
  // Only the dats are encoded; the others say why.
  EXPECT_EQ(EncodableRows(rows), (std::vector<size_t>{1, 4}));
  EXPECT_EQ(EncoderRowPaths(rows), (std::vector<std::string>{alpha, zulu}));
  EXPECT_EQ(rows[1].Status, "Loaded");
  EXPECT_EQ(rows[4].Status, "Loaded");
  EXPECT_EQ(rows[2].Status, "Skipped: not a dat: binary data (NUL bytes)");
  EXPECT_EQ(rows[3].Status, "Skipped: not a dat: no [INFO] or [DAT] section");
  EXPECT_TRUE(rows[0].Status.starts_with("Skipped: ")) << rows[0].Status;
  EXPECT_NE(rows[0].Status.find("a-missing.dat"), std::string::npos);
  EXPECT_TRUE(DroppedEncoderRows({}).empty());
}

TEST_F(EncoderRows, SortIsCaseSensitiveAndStable) {
  std::vector<TEncoderRow> rows = {{"b", "", "1"}, {"B", "", "2"}, {"b", "", "3"}, {"a", "", "4"}};
  SortEncoderRows(rows);
  EXPECT_EQ(Names(rows), (std::vector<std::string>{"a", "b", "b", "B"}));
  EXPECT_EQ(rows[1].Path, "1");
  EXPECT_EQ(rows[2].Path, "3");
}

TEST(ListLayout, FittedColumnFillsTheRestOfTheRow) {
  // The encoder's list at its design size: 374 wide, 125 + 70 before Filename.
  EXPECT_EQ(FittedColumnWidth(374, 195, 17, 2), 374 - 195 - 17 - 4 - 1);
  EXPECT_EQ(FittedColumnWidth(100, 195, 17, 2), 0);
}

}  // namespace
}  // namespace vexmoor
