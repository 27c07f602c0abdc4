#include "encoder/formEncoder.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMimeData>
#include <QPushButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <array>
#include <functional>

#include "encoder/DatEncoder.h"
#include "shell/ErrorReport.h"
#include "shell/FittedColumn.h"
#include "shell/Images.h"
#include "shell/ShownText.h"

namespace vexmoor::shell {

namespace {

constexpr int kColumnCount = 3;
constexpr int kFilenameColumn = 2;
constexpr std::array<int, kColumnCount> kDesignWidths = {125, 70, 130};
constexpr int kButtonPanelHeight = 33;

// The local files among a drag's URLs, in the order the drag lists them.
QStringList LocalFiles(const QMimeData* data) {
  QStringList paths;
  if (data == nullptr || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths.append(url.toLocalFile());
  }
  return paths;
}

// Restores the cursor however the work it covers ends.
class TBusyCursor {
 public:
  TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;
};

}  // namespace

// The list's columns over the window's rows: Name, Status, Filename.
class TEncoderRowModel : public QAbstractTableModel {
 public:
  TEncoderRowModel(const std::vector<TEncoderRow>& rows, QObject* parent)
      : QAbstractTableModel(parent), rows_(rows) {}

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : kColumnCount;
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    const TEncoderRow& row = rows_.at(static_cast<size_t>(index.row()));
    switch (index.column()) {
      case 0:
        return Shown(row.Name);
      case 1:
        return Shown(row.Status);
      default:
        return FileText(row.Path);
    }
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    static const std::array<const char*, kColumnCount> captions = {"Name", "Status", "Filename"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return QString::fromLatin1(captions.at(static_cast<size_t>(section)));
  }

  void Reset(const std::function<void()>& change) {
    beginResetModel();
    change();
    endResetModel();
  }
  void RowChanged(int row) { emit dataChanged(index(row, 0), index(row, kColumnCount - 1)); }

 private:
  const std::vector<TEncoderRow>& rows_;
};

TEncoderForm::TEncoderForm(QWidget* mainForm)
    : QDialog(mainForm, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                            Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                            Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      mainForm_(mainForm) {
  setObjectName(QStringLiteral("EncoderForm"));
  setWindowTitle(QStringLiteral("Quen Dat Encoder"));
  setAcceptDrops(true);  // FormCreate: a target for files dropped from the desktop
  BuildWindow();
  resize(378, 176);
}

TEncoderForm::~TEncoderForm() = default;

void TEncoderForm::BuildWindow() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(0);

  model_ = new TEncoderRowModel(rows_, this);
  listView_ = new QTreeView(this);
  shell::SetUpFittedList(listView_, model_, QAbstractItemView::ExtendedSelection, kDesignWidths,
                         kFilenameColumn, this, [this] { ListViewResize(); });
  listView_->setAcceptDrops(false);  // drops reach the window
  listView_->installEventFilter(this);
  layout->addWidget(listView_, 1);
  layout->addWidget(BuildButtonPanel());
}

QWidget* TEncoderForm::BuildButtonPanel() {
  auto* panel = new QWidget(this);
  panel->setObjectName(QStringLiteral("ButtonPanel"));
  panel->setFixedHeight(kButtonPanelHeight);
  auto* layout = new QHBoxLayout(panel);
  layout->setContentsMargins(4, 3, 0, 3);
  timeCheckBox_ = new QCheckBox(QStringLiteral("Update Time Stamps"), panel);
  timeCheckBox_->setObjectName(QStringLiteral("TimeCheckBox"));
  timeCheckBox_->setChecked(true);
  updateCheckBox_ = new QCheckBox(QStringLiteral("Create Update Keys File"), panel);
  updateCheckBox_->setObjectName(QStringLiteral("UpdateCheckBox"));
  updateCheckBox_->setChecked(true);
  encodeButton_ =
      new QPushButton(WindowImage(QStringLiteral("encode")), QStringLiteral("&Encode"), panel);
  encodeButton_->setObjectName(QStringLiteral("EncodeButton"));
  encodeButton_->setFixedSize(82, 27);
  encodeButton_->setDefault(true);
  encodeButton_->setAutoDefault(true);
  connect(encodeButton_, &QPushButton::clicked, this, [this] { EncodeButtonClick(); });
  layout->addWidget(timeCheckBox_);
  layout->addWidget(updateCheckBox_);
  layout->addStretch(1);
  layout->addWidget(encodeButton_);
  return panel;
}

void TEncoderForm::ListViewResize() { shell::FitColumn(listView_, kFilenameColumn); }

bool TEncoderForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == listView_ && event->type() == QEvent::Resize) ListViewResize();
  return QDialog::eventFilter(watched, event);
}

void TEncoderForm::showEvent(QShowEvent* event) {
  // Placed over the centre of the main window whenever it is opened.
  if (mainForm_ != nullptr && !event->spontaneous()) {
    QRect frame = frameGeometry();
    frame.moveCenter(mainForm_->frameGeometry().center());
    move(frame.topLeft());
  }
  QDialog::showEvent(event);
}

void TEncoderForm::dragEnterEvent(QDragEnterEvent* event) {
  if (!LocalFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TEncoderForm::dropEvent(QDropEvent* event) {
  const QStringList paths = LocalFiles(event->mimeData());
  if (paths.isEmpty()) return;
  event->acceptProposedAction();
  RunGuarded(this, [&] { DropFiles(paths); });
}

void TEncoderForm::DropFiles(const QStringList& paths) {
  std::vector<std::string> files;
  files.reserve(static_cast<size_t>(paths.size()));
  for (const QString& path : paths) files.push_back(FileBytes(path));
  std::vector<TEncoderRow> rows = DroppedEncoderRows(files);
  model_->Reset([&] { rows_ = std::move(rows); });
}

void TEncoderForm::SetRowStatus(size_t row, std::string_view status) {
  rows_.at(row).Status = std::string(status);
  model_->RowChanged(static_cast<int>(row));
}

void TEncoderForm::EncodeButtonClick() {
  // The run does not process events: neither window responds until it ends,
  // so no drop can change the rows meanwhile.
  TEncodeOptions options;
  options.UpdateTimeStamps = timeCheckBox_->isChecked();
  options.CreateUpdateKeysFile = updateCheckBox_->isChecked();
  try {
    const TBusyCursor busy;
    // Skipped rows are left out; the run's positions map back to the rows.
    const std::vector<size_t> positions = EncodableRows(rows_);
    EncodeDats(EncoderRowPaths(rows_), options, [this, &positions](size_t row, std::string_view status) {
      SetRowStatus(positions.at(row), status);
    });
  } catch (...) {
    ReportCurrentException(this);
  }
}

}  // namespace vexmoor::shell
