#include "catalogue/RomItem.h"

#include <gtest/gtest.h>

namespace vexmoor {
namespace {

TEST(FlagIndex, UpperCaseFirstCharacterOnly) {
  EXPECT_EQ(FlagIndex("U"), 0);
  EXPECT_EQ(FlagIndex("Europe"), 1);
  EXPECT_EQ(FlagIndex("J"), 2);
  EXPECT_EQ(FlagIndex("K"), 9);
  EXPECT_EQ(FlagIndex("A"), 10);
  EXPECT_EQ(FlagIndex("u"), -1);
  EXPECT_EQ(FlagIndex(""), -1);
  EXPECT_EQ(FlagIndex(" "), -1);
  EXPECT_EQ(FlagIndex("X"), -1);
  EXPECT_EQ(FlagIndex(std::string(1, '\0')), -1);
}

TEST(Catalogue, AppendStartsEmptyAndClearEmptiesWhole) {
  TCatalogue catalogue;
  TRomItem& item = catalogue.Append();
  EXPECT_TRUE(item.Index.empty() && item.Name.empty() && item.StatusText.empty());
  EXPECT_EQ(item.Crc, 0u);
  EXPECT_EQ(item.Status, 0);
  EXPECT_EQ(item.RowColor, 0u);
  item.Name = "first";
  catalogue.Append().Name = "second";
  ASSERT_EQ(catalogue.Count(), 2u);
  EXPECT_EQ(catalogue[0].Name, "first");
  EXPECT_EQ(catalogue[1].Name, "second");
  catalogue.Clear();
  EXPECT_EQ(catalogue.Count(), 0u);
}

}  // namespace
}  // namespace vexmoor
