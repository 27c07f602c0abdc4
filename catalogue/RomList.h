// The main list as data: one row per catalogue entry (the entry's position;
// the texts its five columns show are formatted when asked for), the dat's
// SORT order, the column sort and the row comparison.
// The window draws these rows; the command-line tool prints them; the scan's
// end pass writes their Status texts; the fix dat and the selection copy walk
// them in their current order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/DatHeader.h"
#include "catalogue/RomItem.h"

namespace vexmoor {

// A row of the list: the catalogue entry it shows. Its texts are formatted
// when they are shown or written (TRomList::Text).
struct TListRow {
  size_t Entry = 0;  // position of the row's entry in the catalogue
};

// Sub-item numbers, as TRomList::Text and CompareRows take them (-1 is the
// caption).
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

// The texts an entry's columns show that come from the entry alone: -1 the
// caption (two blanks and the Country), 0 the Index, 1 the Name, 2 the Crc
// as eight upper-case hex digits; any other column gives "". The Status
// column belongs to the list (TRomList::Text).
std::string EntryColumnText(const TRomItem& item, int k);

// The Status text the end pass gives an entry, or nullopt to keep the one
// shown; the scan's end pass hands it to the list (TRomList::WriteStatusTexts).
using TStatusFormat = std::optional<std::string> (*)(const TRomItem& item);

class TRomList {
 public:
  // FillList: one row per entry in catalogue order, then the order the
  // dat's SORT key gives ("NAME" sorts by name, "INDEX" by index, any letter
  // case, anything else keeps the catalogue order). Sorting sets
  // SortAscending and leaves LastSortColumn as it is. Each row's Status
  // text is the entry's StatusText as it is now. The list shows
  // `catalogue`'s entries from here on: the catalogue must outlive the rows.
  // With `pump`, the new rows are built and sorted aside in steps of about
  // kRowsBetweenPumps rows with `pump` between them, and replace the old
  // ones only after the last step: whatever `pump` does meanwhile (a column
  // click, a repaint) sees the old rows. The result is the same either way.
  // `pump` must not change the catalogue or the header.
  void Fill(const TCatalogue& catalogue, const TDatHeader& header, TSortState& sort,
            const std::function<void()>& pump = {});
  void Clear();
  // True when the rows are as Fill left them for `catalogue` (nothing got
  // at them since, and the catalogue holds the same entries), so that a
  // second Fill would build the same rows. Clears that mark: the caller is
  // about to change the catalogue's statuses (a scan begins).
  bool TakeFresh(const TCatalogue& catalogue);

  // The text of column k (-1 the caption, 0-3 a sub-item) of the row at
  // `position`, or of `row`; "" for a column or an entry that is not there.
  std::string Text(size_t position, int k) const { return RowText(rows_[position], k); }
  std::string RowText(const TListRow& row, int k) const;
  // The flag image of the row at `position` (FlagIndex), -1 for none.
  int Image(size_t position) const;

  // The end pass's Status texts: each entry marked in `written` (by entry)
  // shows `format`'s text for it from here on, formatted when shown; the
  // others keep theirs. `format` must give a text for each marked entry as
  // long as the catalogue's entries stay as they are (a scan refills the
  // list before it changes them).
  void WriteStatusTexts(const std::vector<uint8_t>& written, TStatusFormat format);

  // Compares two rows' texts in column k (-1 the caption, 0-3 a sub-item)
  // with LocaleCompare; the sign is inverted when `ascending` is false. An
  // absent row (nullptr) compares equal to anything.
  int CompareRows(const TListRow* a, const TListRow* b, int k, bool ascending) const;
  // Sorts the rows by column k with CompareRows (rows that compare equal
  // keep their order).
  void Sort(int k, bool ascending);
  // A click on the header of `column` (0-4): same column again flips the
  // direction, another one sorts ascending.
  void ColumnClick(int column, TSortState& sort);

  size_t Count() const { return rows_.size(); }
  const TListRow& operator[](size_t position) const { return rows_[position]; }
  auto begin() const { return rows_.begin(); }
  auto end() const { return rows_.end(); }

 private:
  // How an entry's Status text is had: "" or "Cached" (the StatusText the
  // fill saw), the fill's copy in kept_, or the end pass's format.
  enum class TStatusForm : uint8_t { Empty, Cached, Kept, EndPass };
  std::string StatusText(size_t entry) const;

  const TCatalogue* catalogue_ = nullptr;
  std::vector<TListRow> rows_;
  std::vector<TStatusForm> forms_;  // by entry
  std::unordered_map<size_t, std::string> kept_;
  TStatusFormat format_ = nullptr;
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
