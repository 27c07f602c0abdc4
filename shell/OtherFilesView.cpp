#include "shell/OtherFilesView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "reports/UnmatchedList.h"
#include "shell/Dialogs.h"
#include "shell/ErrorReport.h"
#include "shell/OtherFilesModel.h"
#include "shell/ShownText.h"

namespace vexmoor::shell {

TOtherFilesView::TOtherFilesView(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  counts_ = new QLabel(this);
  counts_->setObjectName(QStringLiteral("OtherFilesCounts"));
  layout->addWidget(counts_);
  model_ = new TOtherFilesModel(this);
  sorted_ = new QSortFilterProxyModel(this);
  sorted_->setSourceModel(model_);
  sorted_->setSortRole(TOtherFilesModel::kSortRole);
  sorted_->setSortCaseSensitivity(Qt::CaseInsensitive);
  view_ = new QTableView(this);
  view_->setObjectName(QStringLiteral("OtherFilesList"));
  view_->setModel(sorted_);
  view_->setSortingEnabled(true);
  view_->sortByColumn(-1, Qt::AscendingOrder);  // the order met until a header click
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setWordWrap(false);
  view_->verticalHeader()->hide();
  view_->horizontalHeader()->setStretchLastSection(true);
  view_->setContextMenuPolicy(Qt::CustomContextMenu);
  layout->addWidget(view_, 1);

  menu_ = new QMenu(this);
  QAction* copy = menu_->addAction(QStringLiteral("&Copy"));
  copy->setObjectName(QStringLiteral("CopyOtherItem"));
  copy->setShortcut(QKeySequence::Copy);  // shown in the menu; the key itself: eventFilter
  view_->installEventFilter(this);
  QAction* open = menu_->addAction(QStringLiteral("&Open Containing Folder"));
  open->setObjectName(QStringLiteral("OpenOtherFolderItem"));
  connect(copy, &QAction::triggered, this, Guarded(this, [this] { CopyRows(); }));
  connect(open, &QAction::triggered, this, Guarded(this, [this] { OpenFolder(); }));
  connect(view_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    if (view_->indexAt(at).isValid()) menu_->popup(view_->viewport()->mapToGlobal(at));
  });
  SetReport(nullptr, nullptr);
}

void TOtherFilesView::SetReport(const TFolderReport* report, const TCatalogue* catalogue) {
  model_->SetReport(report, catalogue);
  counts_->setText(report ? QString::fromLatin1(OtherFilesCountsText(*report).c_str())
                          : QStringLiteral(" After a scan, the files of the folder that are no release found show here."));
  view_->resizeColumnsToContents();
}

bool TOtherFilesView::eventFilter(QObject* watched, QEvent* event) {
  // Ctrl+C in this list is its own Copy, never the releases' list's Copy
  // entry: the key is claimed before any window shortcut sees it.
  const bool copyKey = (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) &&
                       static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy);
  if (watched != view_ || !copyKey) return QWidget::eventFilter(watched, event);
  event->accept();
  if (event->type() == QEvent::KeyPress) RunGuarded(this, [this] { CopyRows(); });
  return true;
}

std::vector<int> TOtherFilesView::ChosenRows() const {
  QModelIndexList shown = view_->selectionModel()->selectedRows();
  if (shown.isEmpty() && view_->currentIndex().isValid()) shown.push_back(view_->currentIndex());
  std::sort(shown.begin(), shown.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  std::vector<int> rows;
  for (const QModelIndex& index : shown) {
    const QModelIndex source = sorted_->mapToSource(index);
    if (source.isValid()) rows.push_back(source.row());
  }
  return rows;
}

void TOtherFilesView::CopyRows() {
  if (model_->Report() == nullptr) return;
  std::vector<const TDumpRecord*> records;
  for (const int row : ChosenRows()) records.push_back(&model_->Record(row));
  if (records.empty()) return;
  // Paths are the file system's bytes: decoded as the list shows them.
  const std::string text = UnmatchedLinesText(*model_->Report(), records, *model_->Catalogue());
  QApplication::clipboard()->setText(FileText(text));
}

void TOtherFilesView::OpenFolder() {
  const QModelIndex current = sorted_->mapToSource(view_->currentIndex());
  if (!current.isValid() || model_->Report() == nullptr) return;
  TDialogs::ShowFolder(FileText(RecordFolder(model_->Record(current.row()))));
}

}  // namespace vexmoor::shell
