#include "shell/formMain.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFile>
#include <QHeaderView>
#include <QLocale>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "catalogue/DatLoader.h"
#include "catalogue/General.h"
#include "catalogue/Version.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/Path.h"
#include "platform/qt/FileTypes.h"
#include "platform/qt/Settings.h"
#include "reports/FixDat.h"
#include "reports/HaveMissLists.h"
#include "reports/SelectionCopy.h"
#include "scan/DatOpen.h"
#include "scan/ScanEngine.h"
#include "scan/ThrottledPump.h"
#include "scan/Unexamined.h"
#include "scan/store/ChecksumStore.h"
#include "shell/Dialogs.h"
#include "shell/ErrorReport.h"
#include "shell/FlatMenuStyle.h"
#include "shell/HelpLinks.h"
#include "shell/Images.h"
#include "shell/KeyPreview.h"
#include "shell/MessageBoxWithIcon.h"
#include "shell/RomListModel.h"
#include "shell/ShownText.h"
#include "shell/StatusPanel.h"
#include "updater/formUpdate.h"

namespace vexmoor::shell {

namespace {

constexpr int kDesignWidths[kColumnCount] = {22, 40, 280, 68, 100};
constexpr int kStatusColumn = 4;

using THandler = void (TMainForm::*)();
struct THandlerEntry {
  const char* MenuName;
  THandler Handler;
};

const THandlerEntry kHandlers[] = {
    {"PickItem", &TMainForm::PickItemClick},
    {"ScanItem", &TMainForm::ScanItemClick},
    {"SaveListItem", &TMainForm::SaveListItemClick},
    {"FixDatItem", &TMainForm::FixDatItemClick},
    {"UpdateItem", &TMainForm::UpdateItemClick},
    {"ExitItem", &TMainForm::ExitItemClick},
    {"CancelItem", &TMainForm::CancelItemClick},
    {"CopyItem", &TMainForm::CopyItemClick},
    {"DatEncoderItem", &TMainForm::DatEncoderItemClick},
    {"HomepageItem", &TMainForm::HomepageItemClick},
    {"ForumItem", &TMainForm::ForumItemClick},
    {"IrcMenu", &TMainForm::IrcMenuClick},
    {"EmailItem", &TMainForm::EmailItemClick},
    {"AboutItem", &TMainForm::AboutItemClick},
};

// A dropped local file or folder, if the drop holds one.
QString DroppedPath(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls() || data->urls().isEmpty()) return {};
  const QUrl url = data->urls().first();
  return url.isLocalFile() ? url.toLocalFile() : QString();
}

}  // namespace

TMainForm::TMainForm(std::string programFolder, QWidget* parent)
    : QMainWindow(parent), programFolder_(std::move(programFolder)) {
  BuildWindow();
  ConnectHandlers();
  // An error in FormCreate skips its later steps; the window opens all the same.
  RunGuarded(this, [this] { FormCreate(); });
}

TMainForm::~TMainForm() {
  RunGuarded(this, [this] { FormDestroy(); });
}

void TMainForm::BuildWindow() {
  setWindowTitle(QString::fromUtf8(kProductName.data(), static_cast<qsizetype>(kProductName.size())));
  setWindowIcon(ProgramIcon(1));
  setAcceptDrops(true);
  menuStyle_ = new TFlatMenuStyle();
  menuStyle_->setParent(this);
  actions_ = BuildMenus(menuBar(), kMainMenu, menuStyle_);
  qApp->installEventFilter(new TKeyPreview(this, actions_.value(QStringLiteral("SpecialMenu"))));

  auto* panel = new QWidget(this);
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(2, 2, 2, 2);
  model_ = new TRomListModel(list_, state_.Catalogue, this);
  view_ = new QTableView(panel);
  view_->setModel(model_);
  view_->setShowGrid(true);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setWordWrap(false);
  view_->setIconSize(QSize(16, 16));
  view_->verticalHeader()->hide();
  view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view_->verticalHeader()->setDefaultSectionSize(qMax(18, view_->fontMetrics().height() + 4));
  view_->horizontalHeader()->setSectionsClickable(true);
  view_->horizontalHeader()->setHighlightSections(false);
  view_->horizontalHeader()->setStretchLastSection(false);
  view_->horizontalHeader()->setMinimumSectionSize(0);
  for (int column = 0; column < kColumnCount; ++column) view_->setColumnWidth(column, kDesignWidths[column]);
  view_->setColumnWidth(3, CrcColumnWidth(kDesignWidths[3]));
  view_->installEventFilter(this);
  layout->addWidget(view_);
  setCentralWidget(panel);
  BuildStatusBar();

  resize(581, 350);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TMainForm::BuildStatusBar() {
  const char* const initial[] = {" Found : n/a", " Missing : n/a", ""};
  const int widths[] = {100, 100, 0};  // 0: the rest of the bar
  for (size_t i = 0; i < panels_.size(); ++i) {
    panels_[i] = new TStatusPanel(widths[i], statusBar());
    panels_[i]->SetText(QString::fromLatin1(initial[i]));
    statusBar()->addWidget(panels_[i], widths[i] == 0 ? 1 : 0);
  }
}

void TMainForm::ConnectHandlers() {
  for (const THandlerEntry& entry : kHandlers) {
    QAction* action = actions_.value(QString::fromLatin1(entry.MenuName));
    const THandler handler = entry.Handler;
    connect(action, &QAction::triggered, this, Guarded(this, [this, handler] { (this->*handler)(); }));
  }
  // A check item only toggles its option; loads and scans read it.
  for (const TOptionItem& option : kOptionItems) {
    QAction* action = actions_.value(QString::fromUtf8(option.MenuName.data(), qsizetype(option.MenuName.size())));
    const auto field = option.Option;
    connect(action, &QAction::toggled, this, [this, field](bool checked) { state_.*field = checked; });
  }
  connect(view_->horizontalHeader(), &QHeaderView::sectionClicked, this,
          Guarded(this, [this](int column) { model_->ColumnClick(column, sort_); }));
  connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { ListViewChange(); });
  connect(model_, &QAbstractItemModel::modelReset, this, [this] { ListViewChange(); });
}

// --- creation and destruction ---------------------------------------------

void TMainForm::FormCreate() {
  settings_ = std::make_unique<TSettingsStore>();
  settings_->WriteText("ProgramDir", programFolder_);
  // Settings that cannot be saved are reported; the start goes on.
  RunGuarded(this, [this] { settings_->Sync(); });
  settingsStored_ = TSettingsStore().Holds("ProgramDir");
  scanFolder_ = FileText(settings_->ReadText("ScanFolder"));
  for (const TOptionItem& option : kOptionItems) {
    state_.*option.Option = settings_->ReadFlag(option.SettingName);
    Action(QString::fromUtf8(option.MenuName.data(), qsizetype(option.MenuName.size())))
        ->setChecked(state_.*option.Option);
  }
  state_.CurrentDat = settings_->ReadText("QuenDat");
  LoadStartupDat();
  RegisterFileTypes({ProgramIconSvg(101), ProgramIconSvg(102)});
  setWindowTitle(QString::fromStdString(ProgramCaption(QLocale().decimalPoint().toStdString())));
}

void TMainForm::LoadStartupDat() {
  // CurrentDat is a bare name: start-up made the program's folder current.
  if (state_.CurrentDat.empty() || !PathExists(state_.CurrentDat)) return;
  LoadAndFill(state_.CurrentDat, ChooseDatLoader(state_.CurrentDat));
}

void TMainForm::FormDestroy() {
  if (!settings_) return;
  // ProgramDir, written at start, is gone: moorpurge removed the settings
  // while the window ran, and writing them back would undo the clean upgrade.
  // (Nothing was written since the start's Sync, so the store writes nothing.)
  if (settingsStored_ && !TSettingsStore().Holds("ProgramDir")) {
    settings_.reset();
    return;
  }
  settings_->WriteText("QuenDat", state_.CurrentDat);
  settings_->WriteText("ScanFolder", FileBytes(scanFolder_));
  for (const TOptionItem& option : kOptionItems) settings_->WriteFlag(option.SettingName, state_.*option.Option);
  settings_->Sync();
  settings_.reset();
}

// --- the list --------------------------------------------------------------

void TMainForm::LoadAndFill(const std::string& path, TDatLoader loader) {
  model_->BeginRebuild();
  const TDatOpened opened = vexmoor::OpenDat(state_, list_, sort_, path, loader);
  model_->EndRebuild();
  SetupColumns(opened.Widths);
  if (opened.ListRebuilt) SetPanel(2, opened.LoadedText);
  if (opened.Error) std::rethrow_exception(opened.Error);
}

void TMainForm::FillList() {
  model_->BeginRebuild();
  list_.Fill(state_.Catalogue, state_.DatHeader, sort_);
  model_->EndRebuild();
  SetPanel(2, LoadedItemsText(state_.Catalogue.Count()));
}

void TMainForm::SetupColumns(const TColumnWidths& widths) {
  for (int column = 0; column < kStatusColumn; ++column) {
    const int width = widths[static_cast<size_t>(column)];
    view_->setColumnHidden(column, width == 0);
    if (width > 0) view_->setColumnWidth(column, column == 3 ? CrcColumnWidth(width) : width);
  }
}

int TMainForm::CrcColumnWidth(int width) const {
  // The widths suit an 8-point UI font; a wider system font still shows all
  // eight digits of a CRC rather than an elided one.
  const int margin = view_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view_) + 1;
  return qMax(width, view_->fontMetrics().horizontalAdvance(QStringLiteral("DDDDDDDD")) + 2 * margin + 2);
}

void TMainForm::ListViewResize() {
  std::array<int, 4> widths{};
  for (int column = 0; column < kStatusColumn; ++column)
    widths[static_cast<size_t>(column)] = view_->isColumnHidden(column) ? 0 : view_->columnWidth(column);
  const QStyle* style = view_->style();
  const int width = LastColumnWidth(view_->width(), widths, style->pixelMetric(QStyle::PM_ScrollBarExtent),
                                    style->pixelMetric(QStyle::PM_DefaultFrameWidth));
  view_->setColumnWidth(kStatusColumn, width);
}

void TMainForm::ListViewChange() {
  Action(QStringLiteral("SelectionMenu"))->setVisible(view_->selectionModel()->hasSelection());
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view_ && event->type() == QEvent::Resize) ListViewResize();
  return QMainWindow::eventFilter(watched, event);
}

QString TMainForm::PanelText(int panel) const { return panels_.at(static_cast<size_t>(panel))->Text(); }

void TMainForm::SetPanel(int panel, const std::string& text) {
  if (panel >= 0 && panel < static_cast<int>(panels_.size())) panels_[static_cast<size_t>(panel)]->SetText(Shown(text));
}

// --- loading ---------------------------------------------------------------

void TMainForm::PickItemClick() {
  QStringList filters;
  for (const TDatFilter& filter : kPickDatFilters) filters << QString::fromLatin1(filter.Caption);
  const std::optional<TChosenFile> chosen = TDialogs::OpenFile(this, QString(), filters);
  if (!chosen) return;
  // The filter entry chosen decides the loader; the extension plays no part.
  OpenDat(chosen->Path, DatLoaderForFilter(chosen->FilterIndex));
}

void TMainForm::OpenDat(const QString& path, TDatLoader loader) {
  LoadAndFill(FileBytes(path), loader);
  Action(QStringLiteral("SaveListItem"))->setVisible(false);
  ListViewResize();
}

void TMainForm::ReloadCurrentDat() {
  if (state_.DatLoader == TDatLoader::None || !PathExists(state_.CurrentDat)) return;
  LoadAndFill(state_.CurrentDat, TDatLoader::None);
}

// --- scanning --------------------------------------------------------------

void TMainForm::ScanItemClick() {
  if (state_.ScanRunning) return;
  const QString folder = TDialogs::ChooseFolder(this, QStringLiteral("Select rom folder"), scanFolder_);
  if (folder.isEmpty() || !IsFolder(FileBytes(folder))) return;
  scanFolder_ = folder;
  ScanFolder(folder);
}

void TMainForm::ScanFolder(const QString& folder) {
  TScanCallbacks callbacks;
  callbacks.SetPanelText = [this](int panel, const std::string& text) { SetPanel(panel, text); };
  callbacks.ProcessMessages = [] { QCoreApplication::processEvents(); };
  callbacks.ProcessMessagesWhileWaiting = callbacks.ProcessMessages;
  callbacks.ProcessMessagesBetweenChunks = callbacks.ProcessMessages;
  // The engine builds the new rows aside (pumping meanwhile) and puts them
  // in place just before this, with no pump between: nothing has read them.
  callbacks.ListRebuilt = [this] {
    model_->BeginRebuild();
    model_->EndRebuild();
  };
  callbacks.StatusTextsWritten = [this] { model_->StatusTextsChanged(); };
  // Events and panel texts at most once per pump interval, not once per path.
  TThrottledCallbacks throttled(std::move(callbacks));
  TScanEngine engine(state_, list_, sort_, cancelRequested_, throttled.Callbacks());
  engine.SetPipeline(pipeline_);
  if (state_.ScanRunning) throw Error("A scan is already running.");
  engine.SetChecksumStore(ChecksumStore());
  SetScanning(true);
  TScanOutcome outcome;
  // What the store had to say replaces " Scanning complete.", once the
  // scan is over.
  const auto tellStore = [this, &throttled] {
    throttled.Flush();  // the scan's last texts
    if (!storeNotices_.empty()) SetPanel(2, " " + storeNotices_.back());
    storeNotices_.clear();
  };
  try {
    outcome = engine.Run(FileBytes(folder));
  } catch (...) {
    // The menus stay as they were, but for Cancel: the scan is over.
    SetScanning(false);
    tellStore();
    throw;
  }
  SetScanning(false);
  tellStore();
  Action(QStringLiteral("SaveListItem"))->setVisible(true);
  Action(QStringLiteral("FixDatItem"))->setVisible(true);
  // The results are complete and shown; what the scan could not look into
  // and the cache file's failure are reported.
  if (!outcome.Unexamined.empty()) ShowErrorReport(this, UnexaminedSummary(outcome.Unexamined));
  if (outcome.CacheWriteError) std::rethrow_exception(outcome.CacheWriteError);
}

TChecksumStore* TMainForm::ChecksumStore() {
  if (!state_.ChecksumCache) {
    checksums_.reset();
    return nullptr;
  }
  if (!checksums_) {
    const std::string path = DefaultChecksumStorePath();
    if (path.empty()) return nullptr;
    checksums_ = std::make_unique<TChecksumStore>(
        path, [this](const std::string& line) { storeNotices_.push_back(line); });
  }
  return checksums_.get();
}

void TMainForm::SetScanning(bool running) {
  Action(QStringLiteral("CancelItem"))->setVisible(running);
  for (const std::string_view name : kDisabledWhileScanning)
    Action(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())))->setEnabled(!running);
  emit scanRunningChanged(running);
}

void TMainForm::CancelItemClick() { cancelRequested_ = true; }

// --- reports -----------------------------------------------------------------

void TMainForm::SaveListItemClick() {
  const QString folder =
      TDialogs::ChooseFolder(this, QStringLiteral("Select have/miss list folder"), scanFolder_);
  if (folder.isEmpty()) return;
  SaveHaveMissLists(state_, FileBytes(folder));
}

void TMainForm::FixDatItemClick() {
  const QString path = TDialogs::SaveFile(this, QString(), Shown(FixDatFileName(state_)),
                                          QStringLiteral("ClrMame Dat Files (*.dat)"), QStringLiteral("dat"));
  if (path.isEmpty()) return;
  SaveFixDat(state_, list_, FileBytes(path));
}

void TMainForm::CopyItemClick() {
  std::vector<bool> selected(list_.Count(), false);
  for (const QModelIndex& row : view_->selectionModel()->selectedRows())
    selected[static_cast<size_t>(row.row())] = true;
  // Each name decoded as the list shows it.
  QString text;
  const std::string names = BuildSelectionCopy(list_, selected);
  for (const std::string_view line : ExplodeViews("\r\n", names))
    text += Shown(std::string(line)) + QStringLiteral("\r\n");
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->setText(text);
  if (clipboard->text() != text) throw Error("Cannot open clipboard");
}

// --- the rest of the menu ----------------------------------------------------

void TMainForm::ExitItemClick() {
  close();
  QCoreApplication::quit();
}

void TMainForm::UpdateItemClick() {
  // The reload would replace the catalogue under the running scan.
  if (state_.ScanRunning) throw Error("The update cannot run while a scan is running.");
  if (RunUpdateWindow(this, DefaultUpdateFormConfig()) == 1) ReloadCurrentDat();
}

void TMainForm::DatEncoderItemClick() {
  if (encoder_ == nullptr) return;
  encoder_->show();
  encoder_->raise();
  encoder_->activateWindow();
}

void TMainForm::OpenUrl(const char* url) { QDesktopServices::openUrl(QUrl(QString::fromUtf8(url))); }

void TMainForm::HomepageItemClick() { OpenUrl(kHomepageUrl); }

void TMainForm::ForumItemClick() { OpenUrl(kForumUrl); }

void TMainForm::EmailItemClick() {
  OpenUrl((std::string("mailto:") + kContactAddress + "?subject=Vexmoor").c_str());
}

void TMainForm::IrcMenuClick() {
  const QString text = QStringLiteral("Connect to %1 %2  -  %3")
                           .arg(QString::fromUtf8(kIrcNetwork), QString::fromUtf8(kIrcChannel),
                                QString::fromUtf8(kIrcUrl));
  if (MessageBoxWithIcon(this, text, QStringLiteral("Question"), QMessageBox::Yes | QMessageBox::No,
                         kQuestionIconId) == QMessageBox::Yes)
    OpenUrl(kIrcUrl);
}

void TMainForm::AboutItemClick() {
  MessageBoxWithIcon(this, QString::fromUtf8(kAboutText), QString::fromUtf8(kAboutCaption), QMessageBox::Ok,
                     kAboutIconId);
}

// --- window events -----------------------------------------------------------

void TMainForm::closeEvent(QCloseEvent* event) {
  // A close is never refused; a running scan stops at its next path.
  cancelRequested_ = true;
  event->accept();
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  const QString path = DroppedPath(event->mimeData());
  if (state_.ScanRunning || path.isEmpty()) return;
  if (IsFolder(FileBytes(path)) || ChooseDatLoader(FileBytes(path)) != TDatLoader::None)
    event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
  const QString path = DroppedPath(event->mimeData());
  if (state_.ScanRunning || path.isEmpty()) return;
  const std::string bytes = FileBytes(path);
  const bool folder = IsFolder(bytes);
  const TDatLoader loader = ChooseDatLoader(bytes);
  if (!folder && loader == TDatLoader::None) return;
  event->acceptProposedAction();
  // The work runs after the drop has been answered, so the dragging program
  // is not kept waiting by a load or a whole scan.
  QTimer::singleShot(0, this, Guarded(this, [this, path, folder, loader] {
                       if (state_.ScanRunning) return;
                       if (!folder) return OpenDat(path, loader);
                       scanFolder_ = path;
                       ScanFolder(path);
                     }));
}

}  // namespace vexmoor::shell
