#include "reports/SelectionCopy.h"

#include <gtest/gtest.h>

#include "tests/scan/ScanTestUtil.h"

namespace vexmoor {
namespace {

TEST(SelectionCopyTest, SelectedNamesInCurrentListOrder) {
  TAuditState state;
  for (const char* name : {"Delta", "alpha", "Charlie", "bravo", "Echo"})
    test::AddEntry(state, "", name, 0);
  TRomList list;
  TSortState sort;
  list.Fill(state.Catalogue, state.DatHeader, sort);
  EXPECT_EQ(BuildSelectionCopy(list, {true, false, true, false, true}),
            "Delta\r\nCharlie\r\nEcho\r\n");
  list.ColumnClick(2, sort);  // by name: alpha, bravo, Charlie, Delta, Echo
  EXPECT_EQ(BuildSelectionCopy(list, {false, true, false, true}), "bravo\r\nDelta\r\n");
  EXPECT_EQ(BuildSelectionCopy(list, {true}), "alpha\r\n");
  EXPECT_EQ(BuildSelectionCopy(list, {}), "");
}

}  // namespace
}  // namespace vexmoor
