#include "updater/formUpdate.h"

#include <QAbstractTableModel>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTime>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <chrono>

#include "platform/Path.h"
#include "platform/Process.h"
#include "platform/qt/Settings.h"
#include "shell/ErrorReport.h"
#include "shell/FittedColumn.h"
#include "shell/Images.h"
#include "shell/MessageBoxWithIcon.h"
#include "shell/ShownText.h"
#include "updater/SelfReplace.h"
#include "updater/UpdateConfig.h"

namespace vexmoor::shell {

namespace {

constexpr int kColumnCount = 3;
constexpr int kNameColumn = 0;
constexpr std::array<int, kColumnCount> kDesignWidths = {184, 55, 135};
// How long the client waits on a silent server before the window gets to
// process its events again.
constexpr std::chrono::milliseconds kPumpInterval{50};

// Set once the default restart has started the new build.
bool handedOver = false;

// The time stamp in the user's short date and long time format, the time
// left out at exactly midnight; the list's times are GMT, so no zone shows.
QString DateTimeShown(double value) {
  const std::optional<TDateTimeParts> parts = DecodeDateTime(value);
  if (!parts) return QString::fromStdString(UpdateDateTimeText(value));  // the number itself
  const QLocale locale = QLocale::system();
  QString text =
      locale.toString(QDate(parts->Year, parts->Month, parts->Day), QLocale::ShortFormat);
  if (IsMidnight(*parts)) return text;
  const std::string pattern =
      TimePatternWithoutZone(locale.timeFormat(QLocale::LongFormat).toStdString());
  return text + QLatin1Char(' ') +
         locale.toString(QTime(parts->Hour, parts->Minute, parts->Second, parts->Millisecond),
                         QString::fromStdString(pattern));
}

QWidget* Strip(QWidget* parent, const char* name, int height) {
  auto* strip = new QWidget(parent);
  strip->setObjectName(QString::fromLatin1(name));
  if (height > 0) strip->setFixedHeight(height);
  return strip;
}

}  // namespace

// The list's columns over the offered records, with the row check boxes.
class TUpdateRowModel : public QAbstractTableModel {
 public:
  TUpdateRowModel(const std::vector<TUpdateRecord>& records, std::vector<bool>& checked,
                  QObject* parent)
      : QAbstractTableModel(parent),
        records_(records),
        checked_(checked),
        image_(WindowImage(QStringLiteral("update-row"))) {}

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(records_.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : kColumnCount;
  }
  Qt::ItemFlags flags(const QModelIndex& index) const override {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == kNameColumn) flags |= Qt::ItemIsUserCheckable;
    return flags;
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return {};
    const size_t row = static_cast<size_t>(index.row());
    const TUpdateRecord& record = records_.at(row);
    if (index.column() == kNameColumn && role == Qt::CheckStateRole)
      return checked_.at(row) ? Qt::Checked : Qt::Unchecked;
    if (index.column() == kNameColumn && role == Qt::DecorationRole) return image_;
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
      case 0:
        return Shown(record.Name);
      case 1:
        return QString::fromStdString(UpdateVersionText(record.Version));
      default:
        return DateTimeShown(record.Timestamp);
    }
  }
  bool setData(const QModelIndex& index, const QVariant& value, int role) override {
    if (!index.isValid() || index.column() != kNameColumn || role != Qt::CheckStateRole)
      return false;
    checked_.at(static_cast<size_t>(index.row())) = value.toInt() == Qt::Checked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    static const std::array<const char*, kColumnCount> captions = {"Name", "Version",
                                                                   "Date / Time  (GMT)"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return QString::fromLatin1(captions.at(static_cast<size_t>(section)));
  }

  void BeginReset() { beginResetModel(); }
  void EndReset() { endResetModel(); }

 private:
  const std::vector<TUpdateRecord>& records_;
  std::vector<bool>& checked_;
  QIcon image_;
};

bool ProgramHandedOver() { return handedOver; }

TUpdateFormConfig DefaultUpdateFormConfig() {
  TUpdateFormConfig config;
  config.BaseUrl = UpdateBaseUrl(TSettingsStore().ReadText("UpdateURL"));
  config.PublicKey = TSettingsStore().ReadText("UpdatePublicKey");
  config.ProgramPath = ExecutablePath();
  config.Folder = QFile::encodeName(QDir::currentPath()).toStdString();
  config.Restart = [programPath = config.ProgramPath](const std::string& downloadedPath) {
    StartProgramUpdate(downloadedPath, programPath, PathFolder(programPath));
    handedOver = true;
    QCoreApplication::quit();
  };
  return config;
}

TUpdateForm::TUpdateForm(QWidget* owner, TUpdateFormConfig config)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      config_(std::move(config)),
      updater_(config_.BaseUrl) {
  setObjectName(QStringLiteral("UpdateForm"));
  setWindowTitle(QStringLiteral("Update Program"));
  BuildWindow();
  resize(390, 223);
  updater_.Http().SetWaitSlice(kPumpInterval);
  updater_.Http().SetOnPump([] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
  updater_.SetOnItem(
      [this](const TUpdateRecord& record, const std::string&) { StartItem(record); });
  updater_.SetOnProgress([this](const TByteCounters& counters) { HttpDocData(counters); });
  // The application asked to end during a request: the request is aborted.
  connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { updater_.Cancel(); });
  updateTimer_ = new QTimer(this);
  updateTimer_->setInterval(200);
  connect(updateTimer_, &QTimer::timeout, this, [this] { UpdateTimerTimer(); });
  updateTimer_->start();
}

TUpdateForm::~TUpdateForm() = default;

void TUpdateForm::BuildWindow() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(BuildMainPanel(), 1);
  layout->addWidget(BuildStatusPanel());
  layout->addWidget(BuildButtonPanel());
}

QWidget* TUpdateForm::BuildMainPanel() {
  QWidget* panel = Strip(this, "MainPanel", 0);
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(2, 2, 2, 2);
  model_ = new TUpdateRowModel(records_, checked_, this);
  listView_ = new QTreeView(panel);
  shell::SetUpFittedList(listView_, model_, QAbstractItemView::SingleSelection, kDesignWidths,
                         kNameColumn, this, [this] { ListViewResize(); });
  listView_->installEventFilter(this);
  layout->addWidget(listView_);
  return panel;
}

QWidget* TUpdateForm::BuildStatusPanel() {
  QWidget* panel = Strip(this, "StatusPanel", 21);
  auto* layout = new QHBoxLayout(panel);
  layout->setContentsMargins(2, 2, 2, 2);
  progress_ = new QProgressBar(panel);
  progress_->setObjectName(QStringLiteral("Progress"));
  progress_->setTextVisible(false);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  layout->addWidget(progress_);
  return panel;
}

QWidget* TUpdateForm::BuildButtonPanel() {
  buttonPanel_ = Strip(this, "ButtonPanel", 33);
  auto* layout = new QHBoxLayout(buttonPanel_);
  layout->setContentsMargins(2, 3, 2, 3);
  bytesPanel_ = new QLabel(buttonPanel_);
  bytesPanel_->setObjectName(QStringLiteral("BytesPanel"));
  bytesPanel_->setFixedWidth(141);
  bytesPanel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  updateButton_ = new QPushButton(WindowImage(QStringLiteral("update-button")),
                                  QStringLiteral("&Update"), buttonPanel_);
  updateButton_->setObjectName(QStringLiteral("UpdateButton"));
  updateButton_->setFixedSize(77, 27);
  updateButton_->setDefault(true);
  connect(updateButton_, &QPushButton::clicked, this, [this] { UpdateButtonClick(); });
  totalPanel_ = new QLabel(buttonPanel_);
  totalPanel_->setObjectName(QStringLiteral("TotalPanel"));
  totalPanel_->setFixedWidth(141);
  totalPanel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  layout->addWidget(bytesPanel_);
  layout->addStretch(1);
  layout->addWidget(updateButton_);
  layout->addStretch(1);
  layout->addWidget(totalPanel_);
  buttonPanel_->hide();
  return buttonPanel_;
}

void TUpdateForm::ListViewResize() { shell::FitColumn(listView_, kNameColumn); }

bool TUpdateForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == listView_ && event->type() == QEvent::Resize) ListViewResize();
  return QDialog::eventFilter(watched, event);
}

void TUpdateForm::UpdateTimerTimer() {
  updateTimer_->stop();
  progress_->setValue(0);
  std::vector<TUpdateRecord> offered;
  try {
    updater_.SetTrustedKeys(TrustedUpdateKeys(config_.PublicKey));
    offered =
        updater_.Check(config_.ProgramPath, config_.Folder, CanReplaceProgram(config_.ProgramPath));
  } catch (...) {
    // A close during the check ended it; there is nothing to report.
    if (!updater_.Cancelled()) ReportCurrentException(this);
    return;
  }
  if (updater_.Cancelled()) return;
  ShowOffered(std::move(offered));
}

void TUpdateForm::ShowOffered(std::vector<TUpdateRecord> offered) {
  progress_->setValue(0);
  model_->BeginReset();
  records_ = std::move(offered);
  checked_.assign(records_.size(), true);
  model_->EndReset();
  if (records_.empty()) return NothingOffered();
  buttonPanel_->show();
}

void TUpdateForm::NothingOffered() {
  hide();
  MessageBoxWithIcon(
      this,
      QString::fromLatin1(kNoUpdatesText.data(), static_cast<qsizetype>(kNoUpdatesText.size())),
      QStringLiteral("Information"), QMessageBox::Ok, kUpdateIconId);
  done(-1);
}

void TUpdateForm::UpdateButtonClick() {
  if (!buttonPanel_->isEnabled()) return;
  buttonPanel_->setEnabled(false);  // for the rest of the window's life
  const TUpdateRunResult run =
      updater_.Run(records_, checked_, config_.ProgramPath, config_.Folder);
  FinishRun(run);
}

void TUpdateForm::StartItem(const TUpdateRecord& record) {
  progress_->setRange(0, std::max(record.Size, 0));  // 0 to 0 shows a busy bar
  progress_->setValue(0);
  // The run sets the item's counter to 0 as its download starts.
  HttpDocData(TByteCounters{0, updater_.Counters().Total});
}

void TUpdateForm::HttpDocData(const TByteCounters& counters) {
  if (progress_->maximum() > 0)
    progress_->setValue(
        static_cast<int>(std::min<int64_t>(counters.Current, progress_->maximum())));
  bytesPanel_->setText(QString::fromStdString(CurrentBytesText(counters)));
  totalPanel_->setText(QString::fromStdString(TotalBytesText(counters)));
}

void TUpdateForm::FinishRun(const TUpdateRunResult& run) {
  done(1);
  // A close during the run ended it: nothing more is reported or started.
  if (updater_.Cancelled()) return;
  const std::string failures = UpdateFailuresText(records_, run);
  if (!failures.empty()) ShowErrorReport(this, failures);
  if (!run.ProgramUpdatePath.empty() && config_.Restart) {
    RunGuarded(this, [&] { config_.Restart(run.ProgramUpdatePath); });
  }
}

void TUpdateForm::reject() {
  updater_.Cancel();
  QDialog::reject();
}

void TUpdateForm::closeEvent(QCloseEvent* event) {
  updater_.Cancel();
  QDialog::closeEvent(event);
}

int RunUpdateWindow(QWidget* owner, TUpdateFormConfig config) {
  TUpdateForm form(owner, std::move(config));
  return form.exec();
}

}  // namespace vexmoor::shell
