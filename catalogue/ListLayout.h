// Column layout shared by the program's lists.
#pragma once

namespace vexmoor {

// The width that makes a list's fitted column fill the rest of the row:
// the list's width less the other columns' widths (hidden ones count 0),
// a vertical scroll bar's width, two three-dimensional edges and 1 more.
// Never below 0.
constexpr int FittedColumnWidth(int listWidth, int otherColumnsWidth, int scrollBarWidth,
                                int edgeWidth) {
  const int width = listWidth - otherColumnsWidth - scrollBarWidth - 2 * edgeWidth - 1;
  return width > 0 ? width : 0;
}

}  // namespace vexmoor
