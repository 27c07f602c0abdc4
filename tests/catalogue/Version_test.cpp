#include "catalogue/Version.h"

#include <gtest/gtest.h>

namespace vexmoor {
namespace {

TEST(FormatDecimals, KeepsTwoToFourDecimalsWithTheGivenSeparator) {
  EXPECT_EQ(FormatDecimals(0.642, 2, 4, "."), "0.642");
  EXPECT_EQ(FormatDecimals(0.642, 2, 4, ","), "0,642");
  EXPECT_EQ(FormatDecimals(1.5, 2, 4, "."), "1.50");
  EXPECT_EQ(FormatDecimals(2.0, 2, 4, "."), "2.00");
  EXPECT_EQ(FormatDecimals(0.123456, 2, 4, "."), "0.1235");
  EXPECT_EQ(FormatDecimals(3.0, 0, 2, "."), "3");
}

TEST(ProgramCaption, NamesTheProgramAndItsVersion) {
  EXPECT_EQ(ProgramCaption("."), "Vexmoor v0.642 - Fast Rom Checklist");
  EXPECT_EQ(ProgramCaption(","), "Vexmoor v0,642 - Fast Rom Checklist");
}

}  // namespace
}  // namespace vexmoor
