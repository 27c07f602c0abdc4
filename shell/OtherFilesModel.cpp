#include "shell/OtherFilesModel.h"

#include "reports/UnmatchedList.h"
#include "shell/ShownText.h"

namespace vexmoor::shell {

namespace {

const char* const kHeaders[kOtherFilesColumns] = {"Kind", "File", "Size", "CRC32", "Release", "Note"};

}  // namespace

TOtherFilesModel::TOtherFilesModel(QObject* parent) : QAbstractTableModel(parent) {}

void TOtherFilesModel::SetReport(const TFolderReport* report, const TCatalogue* catalogue) {
  beginResetModel();
  report_ = report;
  catalogue_ = catalogue;
  rows_ = report && catalogue ? report->Rows() : std::vector<const TDumpRecord*>();
  endResetModel();
}

int TOtherFilesModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TOtherFilesModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kOtherFilesColumns;
}

QVariant TOtherFilesModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || (role != Qt::DisplayRole && role != kSortRole))
    return {};
  const TDumpRecord& record = Record(index.row());
  if (role == kSortRole && index.column() == 2) return QVariant::fromValue<qulonglong>(record.Size);
  const TUnmatchedFields fields = UnmatchedFields(*report_, record, *catalogue_);
  switch (index.column()) {
    case 0:
      return QString::fromLatin1(fields.Kind.c_str());
    case 1:
      return FileText(fields.Location);
    case 2:
      return QString::fromLatin1(fields.Size.c_str());
    case 3:
      return QString::fromLatin1(fields.Crc.c_str());
    case 4:
      return fields.EntryIndex.empty() && fields.EntryName.empty()
                 ? QString()
                 : Shown(fields.EntryIndex + " " + fields.EntryName);
    default:
      return FileText(fields.Note);
  }
}

QVariant TOtherFilesModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kOtherFilesColumns)
    return {};
  return QString::fromLatin1(kHeaders[section]);
}

}  // namespace vexmoor::shell
