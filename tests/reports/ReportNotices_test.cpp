// The status bar's word after a report was written.
#include "reports/ReportNotices.h"

#include <gtest/gtest.h>

namespace vexmoor {
namespace {

TEST(ReportNotices, SayWhatWasWrittenAndWhere) {
  EXPECT_EQ(SavedListsText("/home/u/lists"), " Saved lists to /home/u/lists");
  // The fix dat holds every entry that is not found: cached and bad ones too.
  EXPECT_EQ(FixDatEntryCount({3, 2, 5, 1, 0}), 8);
  EXPECT_EQ(FixDatWrittenText(8, "/x/DS-fix.dat"), " Fix dat written: 8 entries (/x/DS-fix.dat)");
  EXPECT_EQ(FixDatWrittenText(1, "f.dat"), " Fix dat written: 1 entry (f.dat)");
}

}  // namespace
}  // namespace vexmoor
