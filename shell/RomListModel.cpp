#include "shell/RomListModel.h"

#include <QApplication>
#include <QPalette>
#include <vector>

#include "catalogue/TextEncoding.h"
#include "shell/Images.h"

namespace vexmoor::shell {

namespace {

QString Decoded(const std::string& text) {
  const std::string utf8 = ToUtf8(text);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

const char* const kCaptions[kColumnCount] = {"", "ID", "Release Name", "CRC32", "Status"};

Qt::Alignment ColumnAlignment(int column) {
  return column == 1 || column == 3 ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter;
}

}  // namespace

TRomListModel::TRomListModel(TRomList& list, TCatalogue& catalogue, QObject* parent)
    : QAbstractTableModel(parent), list_(list), catalogue_(catalogue) {}

int TRomListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(list_.Count());
}

int TRomListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant TRomListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const auto position = static_cast<size_t>(index.row());
  const TListRow& row = list_[position];
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole: {
      // A cell is one line: the bad-dump text's line feed shows as a blank.
      QString text = Decoded(list_.RowText(row, column - 1));
      return text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    }
    case Qt::ToolTipRole: {
      // The whole text of a cell the column may cut, on its own lines.
      if (column == 0) return {};
      const QString text = Decoded(list_.RowText(row, column - 1)).trimmed();
      return text.isEmpty() ? QVariant() : QVariant(text);
    }
    case Qt::DecorationRole:
      if (column == 0) {
        const int image = list_.Image(position);
        if (image >= 0) return FlagPixmap(image);
      }
      return {};
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(ColumnAlignment(column));
    case Qt::BackgroundRole: {
      // The colour drawn is recorded in the entry, as the list's drawing did.
      TRomItem& item = catalogue_[row.Entry];
      const QColor color = RowColor(item.Status);
      item.RowColor = color.rgb();
      return color;
    }
    default:
      return {};
  }
}

QVariant TRomListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
  if (role == Qt::DisplayRole) return QString::fromLatin1(kCaptions[section]);
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(ColumnAlignment(section));
  return {};
}

Qt::ItemFlags TRomListModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void TRomListModel::BeginRebuild() { beginResetModel(); }

void TRomListModel::EndRebuild() { endResetModel(); }

void TRomListModel::StatusTextsChanged() {
  if (list_.Count() == 0) return;
  emit dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1),
                   {Qt::DisplayRole, Qt::BackgroundRole});
}

void TRomListModel::ColumnClick(int column, TSortState& sort) {
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList before = persistentIndexList();
  std::vector<size_t> entries;
  entries.reserve(static_cast<size_t>(before.size()));
  for (const QModelIndex& held : before) entries.push_back(list_[static_cast<size_t>(held.row())].Entry);
  list_.ColumnClick(column, sort);
  if (!before.isEmpty()) {
    std::vector<int> rowOfEntry(catalogue_.Count(), -1);
    for (size_t row = 0; row < list_.Count(); ++row) rowOfEntry[list_[row].Entry] = static_cast<int>(row);
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
      after.push_back(index(rowOfEntry[entries[static_cast<size_t>(i)]], before[i].column()));
    changePersistentIndexList(before, after);
  }
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QColor TRomListModel::RowColor(int32_t status) {
  const QPalette palette = QApplication::palette();
  return status == StatusMissing ? palette.color(QPalette::ToolTipBase) : palette.color(QPalette::Base);
}

}  // namespace vexmoor::shell
