#include "catalogue/RomList.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "catalogue/ListLayout.h"
#include "catalogue/TextCompare.h"
#include "catalogue/TextLines.h"

namespace vexmoor {

namespace {

// A row with the key of the column being sorted, so that most comparisons
// take one integer comparison; equal keys compare the texts.
struct TKeyedRow {
  uint64_t Key = 0;
  size_t Entry = 0;
};

// std::stable_sort's order, reached in runs of kRowsBetweenPumps rows
// merged pairwise, with `pump` after each run and each merge.
template <typename Less>
void StableSortPumped(std::vector<TKeyedRow>& rows, Less less, const std::function<void()>& pump) {
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

// The text of column k a sort compares, without forming it where the entry
// holds it: the caption's two leading blanks are the same in every row, and
// the Crc column orders as the number does.
std::string_view SortText(const TRomItem& item, int k) {
  switch (k) {
    case -1:
      return item.Country;
    case kSubItemIndex:
      return item.Index;
    case kSubItemName:
      return item.Name;
    default:
      return {};
  }
}

}  // namespace

std::string EntryColumnText(const TRomItem& item, int k) {
  switch (k) {
    case -1:
      return "  " + item.Country;
    case kSubItemIndex:
      return item.Index;
    case kSubItemName:
      return item.Name;
    case kSubItemCrc:
      return HexLong(item.Crc);
    default:
      return {};
  }
}

int SortKeyColumn(const TDatHeader& header) {
  const std::string key(TrimAny(header.ReadString(kInfoSection, "SORT", ""), " \t\r\n"));
  if (EqualsNoCase(key, "NAME")) return kSubItemName;
  if (EqualsNoCase(key, "INDEX")) return kSubItemIndex;
  return -2;
}

namespace {

// The rows of `entries` ordered by column k as CompareRows orders them,
// stable, with `pump` between steps when there is one. `statusText` gives
// the Status column's texts.
template <typename StatusText>
std::vector<TListRow> SortedRows(const TCatalogue& catalogue, const std::vector<TListRow>& rows, int k,
                                 bool ascending, StatusText statusText, const std::function<void()>& pump) {
  std::vector<TKeyedRow> keyed(rows.size());
  // The Status texts are formed once, for the sort only.
  std::vector<std::string> texts;
  if (k == kSubItemStatus) texts.resize(catalogue.Count());
  for (size_t position = 0; position < rows.size(); ++position) {
    if (pump && position > 0 && position % kRowsBetweenPumps == 0) pump();
    const size_t entry = rows[position].Entry;
    keyed[position].Entry = entry;
    if (entry >= catalogue.Count()) continue;
    const TRomItem& item = catalogue[entry];
    if (k == kSubItemCrc) {
      keyed[position].Key = item.Crc;
    } else if (k == kSubItemStatus) {
      texts[entry] = statusText(entry);
      keyed[position].Key = LocaleSortKey(texts[entry]);
    } else {
      keyed[position].Key = LocaleSortKey(SortText(item, k));
    }
  }
  const auto text = [&](size_t entry) -> std::string_view {
    if (entry >= catalogue.Count()) return {};
    return k == kSubItemStatus ? std::string_view(texts[entry]) : SortText(catalogue[entry], k);
  };
  const auto compare = [&](const TKeyedRow& a, const TKeyedRow& b) {
    if (a.Key != b.Key) return a.Key < b.Key ? -1 : 1;
    // Equal Crc keys are equal texts.
    return k == kSubItemCrc || (k < -1 || k > kSubItemStatus) ? 0 : LocaleCompare(text(a.Entry), text(b.Entry));
  };
  const auto less = [&](const TKeyedRow& a, const TKeyedRow& b) {
    const int result = compare(a, b);
    return ascending ? result < 0 : result > 0;
  };
  if (pump)
    StableSortPumped(keyed, less, pump);
  else
    std::stable_sort(keyed.begin(), keyed.end(), less);
  std::vector<TListRow> sorted(keyed.size());
  for (size_t position = 0; position < keyed.size(); ++position) sorted[position].Entry = keyed[position].Entry;
  return sorted;
}

}  // namespace

void TRomList::Fill(const TCatalogue& catalogue, const TDatHeader& header, TSortState& sort,
                    const std::function<void()>& pump) {
  std::vector<TListRow> rows(catalogue.Count());
  std::vector<TStatusForm> forms(catalogue.Count());
  std::unordered_map<size_t, std::string> kept;
  for (size_t i = 0; i < catalogue.Count(); ++i) {
    if (pump && i > 0 && i % kRowsBetweenPumps == 0) pump();
    rows[i].Entry = i;
    const std::string& status = catalogue[i].StatusText;
    if (status.empty()) {
      forms[i] = TStatusForm::Empty;
    } else if (status == "Cached") {
      forms[i] = TStatusForm::Cached;
    } else {
      forms[i] = TStatusForm::Kept;
      kept.emplace(i, status);
    }
  }
  const int k = SortKeyColumn(header);
  if (k != -2) {
    // The sort key columns are the entry's own texts.
    rows = SortedRows(catalogue, rows, k, true, [](size_t) { return std::string(); }, pump);
  }
  // Nothing pumps from here on: the new rows and the sort state arrive together.
  catalogue_ = &catalogue;
  rows_ = std::move(rows);
  forms_ = std::move(forms);
  kept_ = std::move(kept);
  format_ = nullptr;
  if (k != -2) sort.SortAscending = true;
  fresh_ = true;
  filledGeneration_ = catalogue.Generation();
}

void TRomList::Clear() {
  rows_.clear();
  forms_.clear();
  kept_.clear();
  fresh_ = false;
}

bool TRomList::TakeFresh(const TCatalogue& catalogue) {
  const bool fresh = fresh_ && catalogue_ == &catalogue && filledGeneration_ == catalogue.Generation() &&
                     rows_.size() == catalogue.Count();
  fresh_ = false;
  return fresh;
}

std::string TRomList::StatusText(size_t entry) const {
  if (entry >= forms_.size()) return {};
  switch (forms_[entry]) {
    case TStatusForm::Cached:
      return "Cached";
    case TStatusForm::Kept: {
      const auto found = kept_.find(entry);
      return found == kept_.end() ? std::string() : found->second;
    }
    case TStatusForm::EndPass:
      if (format_ != nullptr && catalogue_ != nullptr && entry < catalogue_->Count())
        return format_((*catalogue_)[entry]).value_or(std::string());
      return {};
    default:
      return {};
  }
}

std::string TRomList::RowText(const TListRow& row, int k) const {
  if (catalogue_ == nullptr || row.Entry >= catalogue_->Count()) return {};
  if (k == kSubItemStatus) return StatusText(row.Entry);
  return EntryColumnText((*catalogue_)[row.Entry], k);
}

int TRomList::Image(size_t position) const {
  const size_t entry = rows_[position].Entry;
  if (catalogue_ == nullptr || entry >= catalogue_->Count()) return -1;
  return FlagIndex((*catalogue_)[entry].Country);
}

void TRomList::WriteStatusTexts(const std::vector<uint8_t>& written, TStatusFormat format) {
  fresh_ = false;
  format_ = format;
  for (size_t entry = 0; entry < written.size() && entry < forms_.size(); ++entry) {
    if (!written[entry]) continue;
    forms_[entry] = TStatusForm::EndPass;
    kept_.erase(entry);
  }
}

int TRomList::CompareRows(const TListRow* a, const TListRow* b, int k, bool ascending) const {
  if (a == nullptr || b == nullptr) return 0;
  const int result = LocaleCompare(RowText(*a, k), RowText(*b, k));
  return ascending ? result : -result;
}

void TRomList::Sort(int k, bool ascending) {
  fresh_ = false;
  if (catalogue_ == nullptr) return;
  rows_ = SortedRows(*catalogue_, rows_, k, ascending, [this](size_t entry) { return StatusText(entry); }, {});
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
