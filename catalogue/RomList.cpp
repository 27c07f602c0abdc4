#include "catalogue/RomList.h"

#include <algorithm>
#include <utility>

#include "catalogue/ListLayout.h"
#include "catalogue/TextCompare.h"
#include "catalogue/TextLines.h"

namespace vexmoor {

namespace {

const std::string& RowText(const TListRow& row, int k) {
  static const std::string empty;
  if (k == -1) return row.Caption;
  if (k < 0 || k >= static_cast<int>(row.SubItems.size())) return empty;
  return row.SubItems[static_cast<size_t>(k)];
}

// std::stable_sort's order, reached in runs of kRowsBetweenPumps rows
// merged pairwise, with `pump` after each run and each merge.
template <typename Less>
void StableSortPumped(std::vector<TListRow>& rows, Less less, const std::function<void()>& pump) {
  const size_t count = rows.size();
  const auto at = [&rows, count](size_t position) {
    return rows.begin() + std::ptrdiff_t(std::min(position, count));
  };
  for (size_t run = 0; run < count; run += kRowsBetweenPumps) {
    std::stable_sort(at(run), at(run + kRowsBetweenPumps), less);
    pump();
  }
  for (size_t width = kRowsBetweenPumps; width < count; width *= 2) {
    for (size_t left = 0; left + width < count; left += 2 * width) {
      std::inplace_merge(at(left), at(left + width), at(left + 2 * width), less);
      pump();
    }
  }
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return (x >= 'a' && x <= 'z' ? x - 32 : x) == (y >= 'a' && y <= 'z' ? y - 32 : y);
  });
}

}  // namespace

int CompareRows(const TListRow* a, const TListRow* b, int k, bool ascending) {
  if (a == nullptr || b == nullptr) return 0;
  const int result = LocaleCompare(RowText(*a, k), RowText(*b, k));
  return ascending ? result : -result;
}

int SortKeyColumn(const TDatHeader& header) {
  const std::string key(TrimAny(header.ReadString(kInfoSection, "SORT", ""), " \t\r\n"));
  if (EqualsNoCase(key, "NAME")) return kSubItemName;
  if (EqualsNoCase(key, "INDEX")) return kSubItemIndex;
  return -2;
}

void TRomList::Fill(const TCatalogue& catalogue, const TDatHeader& header, TSortState& sort,
                    const std::function<void()>& pump) {
  std::vector<TListRow> rows;
  rows.reserve(catalogue.Count());
  for (size_t i = 0; i < catalogue.Count(); ++i) {
    if (pump && i > 0 && i % kRowsBetweenPumps == 0) pump();
    const TRomItem& item = catalogue[i];
    TListRow& row = rows.emplace_back();
    row.Entry = i;
    row.Caption = "  " + item.Country;
    row.SubItems = {item.Index, item.Name, HexLong(item.Crc), item.StatusText};
    row.Image = FlagIndex(item.Country);
  }
  const int k = SortKeyColumn(header);
  if (k != -2) {
    const auto less = [k](const TListRow& a, const TListRow& b) {
      return CompareRows(&a, &b, k, true) < 0;
    };
    if (pump)
      StableSortPumped(rows, less, pump);
    else
      std::stable_sort(rows.begin(), rows.end(), less);
  }
  // Nothing pumps from here on: the new rows and the sort state arrive together.
  rows_ = std::move(rows);
  if (k != -2) sort.SortAscending = true;
}

void TRomList::Sort(int k, bool ascending) {
  std::stable_sort(rows_.begin(), rows_.end(), [&](const TListRow& a, const TListRow& b) {
    return CompareRows(&a, &b, k, ascending) < 0;
  });
}

void TRomList::ColumnClick(int column, TSortState& sort) {
  sort.SortAscending = column == sort.LastSortColumn ? !sort.SortAscending : true;
  sort.LastSortColumn = column;
  Sort(column - 1, sort.SortAscending);
}

int LastColumnWidth(int listWidth, const std::array<int, 4>& otherWidths, int scrollBarWidth,
                    int edgeWidth) {
  int others = 0;
  for (const int other : otherWidths) others += other > 0 ? other : 0;
  return FittedColumnWidth(listWidth, others, scrollBarWidth, edgeWidth);
}

std::string LoadedItemsText(size_t count) { return " Loaded " + std::to_string(count) + " items."; }

}  // namespace vexmoor
