// The window's second list: the folder's other files after a scan (unknown,
// duplicate, wrong size, checksum mismatch, bad dump, unreadable), their
// counts above it, a header click to sort, and on each row Copy and "Open
// Containing Folder". It only draws and wires: rows, texts and counts come
// from the core (scan/FolderReport, reports/UnmatchedList).
#pragma once

#include <QWidget>

#include "catalogue/RomItem.h"
#include "scan/FolderReport.h"

class QLabel;
class QMenu;
class QSortFilterProxyModel;
class QTableView;

namespace vexmoor::shell {

class TOtherFilesModel;

class TOtherFilesView : public QWidget {
  Q_OBJECT

 public:
  explicit TOtherFilesView(QWidget* parent = nullptr);

  // Shows the rows and counts of `report` over `catalogue`, or none (null:
  // no scan since the dat was loaded). Both must stay unchanged while shown.
  void SetReport(const TFolderReport* report, const TCatalogue* catalogue);

  // The selected rows' lines (the current row's when none is selected), in
  // the order shown, to the clipboard: UnmatchedLinesText.
  void CopyRows();
  // The current row's file's folder, in the desktop's file manager
  // (TDialogs::ShowFolder).
  void OpenFolder();

  // For tests.
  TOtherFilesModel& Model() { return *model_; }
  QTableView* View() const { return view_; }
  QLabel* Counts() const { return counts_; }
  QMenu* ContextMenu() const { return menu_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Model rows of the selection (or the current row), top to bottom as shown.
  std::vector<int> ChosenRows() const;

  TOtherFilesModel* model_ = nullptr;
  QSortFilterProxyModel* sorted_ = nullptr;
  QTableView* view_ = nullptr;
  QLabel* counts_ = nullptr;
  QMenu* menu_ = nullptr;
};

}  // namespace vexmoor::shell
