// The main list as data: one row per catalogue entry with the texts its five
// columns show, the dat's SORT order, the column sort and the row comparison.
// The window draws these rows; the command-line tool prints them; the scan's
// end pass writes their Status texts; the fix dat and the selection copy walk
// them in their current order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/DatHeader.h"
#include "catalogue/RomItem.h"

namespace vexmoor {

struct TListRow {
  size_t Entry = 0;     // position of the row's entry in the catalogue
  std::string Caption;  // flag column: two blanks and the entry's Country
  // Index, Name, Crc as eight upper-case hex digits, and the Status text.
  std::array<std::string, 4> SubItems;
  int Image = -1;  // the flag image (FlagIndex), -1 for none
};

// Sub-item numbers, as CompareRows takes them (-1 is the caption).
constexpr int kSubItemIndex = 0;
constexpr int kSubItemName = 1;
constexpr int kSubItemCrc = 2;
constexpr int kSubItemStatus = 3;

// The loops over every row that may run on a window's thread (the fill
// below, the scan's end pass) call their pump after this many rows.
inline constexpr size_t kRowsBetweenPumps = 1024;

// The list's sort state, shared by column clicks and the list fill.
struct TSortState {
  int LastSortColumn = -2;  // matches no column at start
  bool SortAscending = false;
};

// Compares two rows' texts in column k (-1 the caption, 0-3 a sub-item)
// with LocaleCompare; the sign is inverted when `ascending` is false. An
// absent row (nullptr) compares equal to anything.
int CompareRows(const TListRow* a, const TListRow* b, int k, bool ascending);

class TRomList {
 public:
  // FillList: one row per entry in catalogue order, then the order the
  // dat's SORT key gives ("NAME" sorts by name, "INDEX" by index, any letter
  // case, anything else keeps the catalogue order). Sorting sets
  // SortAscending and leaves LastSortColumn as it is.
  // With `pump`, the new rows are built and sorted aside in steps of about
  // kRowsBetweenPumps rows with `pump` between them, and replace the old
  // ones only after the last step: whatever `pump` does meanwhile (a column
  // click, a repaint) sees the old rows. The result is the same either way.
  // `pump` must not change the catalogue or the header.
  void Fill(const TCatalogue& catalogue, const TDatHeader& header, TSortState& sort,
            const std::function<void()>& pump = {});
  void Clear() {
    rows_.clear();
    fresh_ = false;
  }
  // True when the rows are as Fill left them for `catalogue` (nothing got
  // at them since, and the catalogue holds the same entries), so that a
  // second Fill would build the same rows. Clears that mark: the caller is
  // about to change the catalogue's statuses (a scan begins).
  bool TakeFresh(const TCatalogue& catalogue);

  // Sorts the rows by column k with CompareRows (rows that compare equal
  // keep their order).
  void Sort(int k, bool ascending);
  // A click on the header of `column` (0-4): same column again flips the
  // direction, another one sorts ascending.
  void ColumnClick(int column, TSortState& sort);

  size_t Count() const { return rows_.size(); }
  TListRow& operator[](size_t position) {
    fresh_ = false;
    return rows_[position];
  }
  const TListRow& operator[](size_t position) const { return rows_[position]; }
  auto begin() const { return rows_.begin(); }
  auto end() const { return rows_.end(); }

 private:
  std::vector<TListRow> rows_;
  bool fresh_ = false;
  uint64_t filledGeneration_ = 0;
};

// The sub-item a dat's SORT value selects (NAME, INDEX), or -2 for none.
int SortKeyColumn(const TDatHeader& header);

// The width the last (Status) column gets when the list is `listWidth`
// wide: what the other columns leave (a hidden column counts 0), less a
// vertical scroll bar, two edges and one pixel; never below 0.
int LastColumnWidth(int listWidth, const std::array<int, 4>& otherWidths, int scrollBarWidth,
                    int edgeWidth);

// The text the list fill leaves in status bar panel 2.
std::string LoadedItemsText(size_t count);

}  // namespace vexmoor
