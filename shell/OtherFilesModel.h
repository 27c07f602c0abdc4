// The item model of the window's second list: the folder's other files, a
// view of the rows of the last scan's folder report (TFolderReport::Rows)
// with the texts the core gives each (UnmatchedFields). It holds pointers
// into the report, no copy of its facts.
#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "catalogue/RomItem.h"
#include "scan/FolderReport.h"

namespace vexmoor::shell {

// "Kind", "File", "Size", "CRC32", "Release", "Note".
inline constexpr int kOtherFilesColumns = 6;

class TOtherFilesModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // What a sort compares: the size as a number, any other column's text.
  static constexpr int kSortRole = Qt::UserRole;

  explicit TOtherFilesModel(QObject* parent = nullptr);

  // Shows the rows of `report`, their entries read from `catalogue`; null
  // shows none. Both must stay unchanged while shown.
  void SetReport(const TFolderReport* report, const TCatalogue* catalogue);
  const TFolderReport* Report() const { return report_; }
  const TCatalogue* Catalogue() const { return catalogue_; }
  // The record of row `row`.
  const TDumpRecord& Record(int row) const { return *rows_[static_cast<size_t>(row)]; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  const TFolderReport* report_ = nullptr;
  const TCatalogue* catalogue_ = nullptr;
  std::vector<const TDumpRecord*> rows_;
};

}  // namespace vexmoor::shell
