#include "shell/formMain.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "catalogue/DatLoader.h"
#include "catalogue/General.h"
#include "catalogue/RecentDats.h"
#include "catalogue/StatusCounts.h"
#include "catalogue/Version.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/Path.h"
#include "platform/qt/FileTypes.h"
#include "platform/qt/Settings.h"
#include "rebuild/RebuildChoice.h"
#include "reports/FixDat.h"
#include "reports/HaveMissLists.h"
#include "reports/ReportNotices.h"
#include "reports/SelectionCopy.h"
#include "reports/UnmatchedList.h"
#include "scan/DatOpen.h"
#include "scan/EndPass.h"
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
#include "shell/ListFilterBar.h"
#include "shell/MessageBoxWithIcon.h"
#include "shell/OtherFilesView.h"
#include "shell/RomFilterModel.h"
#include "shell/RomListModel.h"
#include "shell/ShownText.h"
#include "shell/StatusPanel.h"
#include "shell/formRebuild.h"
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
    {"RebuildItem", &TMainForm::RebuildItemClick},
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
    {"CopyPathItem", &TMainForm::CopyPathItemClick},
    {"OpenFolderItem", &TMainForm::OpenFolderItemClick},
};

// The right-click menu on rows: the list's own Copy, then the found dump's.
struct TContextEntry {
  const char* Name;
  const char* Caption;
};
const TContextEntry kContextEntries[] = {
    {"CopyNameItem", "Copy &Name"},
    {"CopyPathItem", "Copy &Path"},
    {"OpenFolderItem", "&Open Containing Folder"},
};

// What the list says while no dat is loaded.
constexpr const char* kFirstStartText = "Press F2 to pick a dat, then F3 to scan a folder";

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

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
  setWindowTitle(Text(kProductName));
  setWindowIcon(ProgramIcon(1));
  setAcceptDrops(true);
  menuStyle_ = new TFlatMenuStyle();
  menuStyle_->setParent(this);
  actions_ = BuildMenus(menuBar(), kMainMenu, menuStyle_);
  qApp->installEventFilter(new TKeyPreview(this, actions_.value(QStringLiteral("SpecialMenu"))));
  // Help entries without an address (a build-time setting) are hidden.
  for (const THelpEntry& entry : kHelpEntries)
    Action(QString::fromLatin1(entry.MenuName))->setVisible(entry.Address[0] != '\0');

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("ListTabs"));
  tabs_->setDocumentMode(true);
  auto* panel = new QWidget(tabs_);
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(0);
  filterBar_ = new TListFilterBar(panel);
  layout->addWidget(filterBar_);
  BuildListView(panel);
  layout->addWidget(view_, 1);
  tabs_->addTab(panel, QStringLiteral("Releases"));
  otherFiles_ = new TOtherFilesView(tabs_);
  tabs_->addTab(otherFiles_, Text(OtherFilesCaption(nullptr)));
  setCentralWidget(tabs_);
  BuildStatusBar();
  BuildContextMenu();
  EnableRebuild();

  resize(581, 350);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TMainForm::BuildListView(QWidget* panel) {
  model_ = new TRomListModel(list_, state_.Catalogue, this);
  filter_ = new TRomFilterModel(list_, state_.Catalogue, this);
  filter_->setSourceModel(model_);
  view_ = new QTableView(panel);
  view_->setModel(filter_);
  view_->setShowGrid(true);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setWordWrap(false);
  view_->setIconSize(QSize(16, 16));
  view_->setContextMenuPolicy(Qt::CustomContextMenu);
  view_->verticalHeader()->hide();
  view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view_->verticalHeader()->setDefaultSectionSize(qMax(18, view_->fontMetrics().height() + 4));
  QHeaderView* header = view_->horizontalHeader();
  header->setSectionsClickable(true);
  header->setHighlightSections(false);
  header->setStretchLastSection(false);
  header->setMinimumSectionSize(0);
  header->setSortIndicatorShown(true);
  UpdateSortArrow(-1);
  SetupColumns({kDesignWidths[0], kDesignWidths[1], kDesignWidths[2], kDesignWidths[3]});
  view_->setColumnWidth(kStatusColumn, kDesignWidths[kStatusColumn]);
  view_->installEventFilter(this);
  emptyHint_ = new QLabel(Text(kFirstStartText), view_->viewport());
  emptyHint_->setObjectName(QStringLiteral("EmptyHint"));
  emptyHint_->setAlignment(Qt::AlignCenter);
  emptyHint_->setWordWrap(true);
  emptyHint_->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TMainForm::BuildStatusBar() {
  const char* const initial[] = {" Found : n/a", " Missing : n/a", ""};
  const int widths[] = {100, 100, 0};  // 0: the rest of the bar
  for (size_t i = 0; i < panels_.size(); ++i) {
    panels_[i] = new TStatusPanel(widths[i], statusBar());
    panels_[i]->SetText(QString::fromLatin1(initial[i]));
    statusBar()->addWidget(panels_[i], widths[i] == 0 ? 1 : 0);
  }
  progress_ = new QProgressBar(statusBar());
  progress_->setObjectName(QStringLiteral("ScanProgress"));
  progress_->setFixedWidth(120);
  progress_->setMaximumHeight(panels_[0]->sizeHint().height());
  progress_->hide();
  statusBar()->addPermanentWidget(progress_);
  datLabel_ = new QLabel(statusBar());
  datLabel_->setObjectName(QStringLiteral("DatLabel"));
  statusBar()->addPermanentWidget(datLabel_);
}

void TMainForm::BuildContextMenu() {
  contextMenu_ = new QMenu(this);
  contextMenu_->setStyle(menuStyle_);
  for (const TContextEntry& entry : kContextEntries) {
    QAction* action = contextMenu_->addAction(QString::fromLatin1(entry.Caption));
    action->setObjectName(QString::fromLatin1(entry.Name));
    actions_.insert(QString::fromLatin1(entry.Name), action);
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
  connect(Action(QStringLiteral("CopyNameItem")), &QAction::triggered, this, Guarded(this, [this] { CopyItemClick(); }));
  connect(view_->horizontalHeader(), &QHeaderView::sectionClicked, this, Guarded(this, [this](int column) {
            model_->ColumnClick(column, sort_);
            UpdateSortArrow(sort_.LastSortColumn);
          }));
  connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { ListViewChange(); });
  connect(filter_, &QAbstractItemModel::modelReset, this, [this] { ListViewChange(); });
  connect(view_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) { ShowContextMenu(at); });
  connect(filterBar_, &TListFilterBar::nameChanged, this, [this](const QString& text) { filter_->SetNameFilter(text); });
  connect(filterBar_, &TListFilterBar::statusChanged, this,
          [this](TStatusFilter status) { filter_->SetStatusFilter(status); });
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
    Action(Text(option.MenuName))->setChecked(state_.*option.Option);
  }
  state_.CurrentDat = settings_->ReadText("QuenDat");
  recentDats_ = ParseRecentDats(settings_->ReadText("RecentDats"));
  RebuildRecentMenu();
  // A dat that fails to load is reported; the rest of the start goes on.
  RunGuarded(this, [this] { LoadStartupDat(); });
  RestoreLayout();
  RegisterFileTypes({ProgramIconSvg(101), ProgramIconSvg(102)});
  setWindowTitle(QString::fromStdString(ProgramCaption(QLocale().decimalPoint().toStdString())));
}

void TMainForm::LoadStartupDat() {
  // A bare name lies in the program's folder; a dat elsewhere is kept with
  // its folder.
  const std::string path = DatSettingPath(state_.CurrentDat, programFolder_);
  if (path.empty()) return;
  if (!PathExists(path)) {
    // Only a dat of the user's own choice is missed; the default one is
    // simply not there yet on a first start.
    if (state_.CurrentDat != SettingDef("QuenDat").Default) throw Error(MissingStartupDatText(path));
    return;
  }
  LoadAndFill(path, ChooseDatLoader(path));
}

void TMainForm::RestoreLayout() {
  const QByteArray geometry = QByteArray::fromBase64(QByteArray::fromStdString(settings_->ReadText("WindowGeometry")));
  if (!geometry.isEmpty()) restoreGeometry(geometry);
  const QStringList widths = QString::fromStdString(settings_->ReadText("ColumnWidths")).split(QLatin1Char(','));
  for (int column = 0; column < kStatusColumn && column < widths.size(); ++column) {
    const int width = widths[column].toInt();
    if (width > 0 && !view_->isColumnHidden(column)) view_->setColumnWidth(column, width);
  }
  ListViewResize();
}

void TMainForm::SaveLayout() {
  settings_->WriteText("WindowGeometry", saveGeometry().toBase64().toStdString());
  QStringList widths;
  for (int column = 0; column < kStatusColumn; ++column)
    widths << QString::number(view_->isColumnHidden(column) ? 0 : view_->columnWidth(column));
  settings_->WriteText("ColumnWidths", widths.join(QLatin1Char(',')).toStdString());
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
  // The dat loaded last, by its bare name in the program's folder and by
  // its full path anywhere else; the setting read at start when none was.
  settings_->WriteText("QuenDat", state_.DatPath.empty() ? state_.CurrentDat
                                                         : DatSettingValue(state_.DatPath, programFolder_));
  settings_->WriteText("ScanFolder", FileBytes(scanFolder_));
  for (const TOptionItem& option : kOptionItems) settings_->WriteFlag(option.SettingName, state_.*option.Option);
  settings_->WriteText("RecentDats", RecentDatsText(recentDats_));
  SaveLayout();
  settings_->Sync();
  settings_.reset();
}

// --- the list --------------------------------------------------------------

void TMainForm::LoadAndFill(const std::string& path, TDatLoader loader) {
  model_->BeginRebuild();
  const TDatOpened opened = vexmoor::OpenDat(state_, list_, sort_, path, loader);
  model_->EndRebuild();
  if (opened.Error) {
    // Nothing changed; the report says what failed and that the list stays.
    try {
      std::rethrow_exception(opened.Error);
    } catch (const std::exception& error) {
      throw Error(DatFailureText(path, error.what(), list_.Count() > 0));
    }
  }
  SetupColumns(opened.Widths);
  SetPanel(2, opened.LoadedText);
  DatChanged();
}

void TMainForm::DatChanged() {
  // The counts of the old dat (or the last scan) no longer apply, nor
  // does what the last scan met beside the releases.
  folder_.reset();
  ShowFolderReport();
  SetPanel(0, " Found : n/a");
  SetPanel(1, " Missing : n/a");
  ShowCounts();
  datLabel_->setText(Shown(LoadedDatText(state_)));
  EnableRebuild();
  recentDats_ = AddRecentDat(recentDats_, state_.DatPath);
  RebuildRecentMenu();
  UpdateSortArrow(SortKeyColumn(state_.DatHeader) + 1);
}

void TMainForm::ShowFolderReport() {
  otherFiles_->SetReport(FolderReport(), &state_.Catalogue);
  tabs_->setTabText(1, Text(OtherFilesCaption(FolderReport())));
}

void TMainForm::ShowCounts() {
  filterBar_->SetCounts(CountByStatus(state_.Catalogue));
  emptyHint_->setVisible(state_.DatPath.empty() && list_.Count() == 0);
}

void TMainForm::RebuildRecentMenu() {
  QMenu* menu = Action(QStringLiteral("RecentMenu"))->menu();
  menu->clear();
  for (const std::string& path : recentDats_) {
    QAction* action = menu->addAction(FileText(path));
    connect(action, &QAction::triggered, this,
            Guarded(this, [this, path] { OpenDat(FileText(path), ChooseDatLoader(path)); }));
  }
  Action(QStringLiteral("RecentMenu"))->setEnabled(!recentDats_.empty() && !state_.ScanRunning);
}

void TMainForm::FillList() {
  model_->BeginRebuild();
  list_.Fill(state_.Catalogue, state_.DatHeader, sort_);
  model_->EndRebuild();
  SetPanel(2, LoadedItemsText(state_.Catalogue.Count()));
  ShowCounts();
}

void TMainForm::SetupColumns(const TColumnWidths& widths) {
  for (int column = 0; column < kStatusColumn; ++column) {
    const int width = widths[static_cast<size_t>(column)];
    view_->setColumnHidden(column, width == 0);
    if (width == 0) continue;
    // Five-digit IDs and eight-digit CRCs show whole in any UI font.
    if (column == 1) view_->setColumnWidth(column, FittedColumnWidth(width, QStringLiteral("00000")));
    else if (column == 3) view_->setColumnWidth(column, FittedColumnWidth(width, QStringLiteral("DDDDDDDD")));
    else view_->setColumnWidth(column, width);
  }
}

int TMainForm::FittedColumnWidth(int width, const QString& sample) const {
  const int margin = view_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view_) + 1;
  return qMax(width, view_->fontMetrics().horizontalAdvance(sample) + 2 * margin + 2);
}

void TMainForm::UpdateSortArrow(int column) {
  QHeaderView* header = view_->horizontalHeader();
  if (column < 0 || column >= kColumnCount) {
    header->setSortIndicator(-1, Qt::AscendingOrder);
    return;
  }
  header->setSortIndicator(column, sort_.SortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

QModelIndex TMainForm::ViewIndex(int row, int column) const {
  return filter_->mapFromSource(model_->index(row, column));
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
  // Ctrl+C that the Copy entry did not take (no row selected, so its menu
  // is hidden): the current row's name, never the bare cell the view copies.
  if (watched == view_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
    RunGuarded(this, [this] { CopyItemClick(); });
    return true;
  }
  if (watched == view_ && event->type() == QEvent::Resize) {
    ListViewResize();
    emptyHint_->setGeometry(view_->viewport()->rect());
  }
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

void TMainForm::ReloadCurrentDat(const std::string& arrived) {
  // The dat loaded, or (none yet) the one the settings name, which an
  // update may just have brought.
  const std::string path =
      state_.DatPath.empty() ? DatSettingPath(state_.CurrentDat, programFolder_) : state_.DatPath;
  if (!path.empty() && PathExists(path)) {
    const TDatLoader loader = state_.DatLoader == TDatLoader::None ? ChooseDatLoader(path) : TDatLoader::None;
    LoadAndFill(path, loader);
  }
  if (!arrived.empty()) SetPanel(2, " " + arrived);
}

// --- scanning --------------------------------------------------------------

void TMainForm::ScanItemClick() {
  if (state_.ScanRunning) return;
  // Said before the folder is asked for, not after.
  if (state_.DatPath.empty()) throw Error(kNoDatToScanText);
  const QString folder = TDialogs::ChooseFolder(this, QStringLiteral("Select rom folder"), scanFolder_);
  if (folder.isEmpty() || !IsFolder(FileBytes(folder))) return;
  scanFolder_ = folder;
  ScanFolder(folder);
}

void TMainForm::ScanFolder(const QString& folder) {
  if (state_.DatPath.empty()) throw Error(kNoDatToScanText);
  TScanCallbacks callbacks;
  callbacks.SetPanelText = [this](int panel, const std::string& text) { SetPanel(panel, text); };
  // The engine builds the new rows aside (pumping meanwhile) and puts them
  // in place just before this, with no pump between: nothing has read them.
  callbacks.ListRebuilt = [this] {
    model_->BeginRebuild();
    model_->EndRebuild();
  };
  callbacks.StatusTextsWritten = [this] {
    model_->StatusTextsChanged();
    filter_->Refilter();
  };
  callbacks.PathsDone = [this](size_t done, size_t known) {
    pathsDone_ = done;
    pathsKnown_ = known;
  };
  callbacks.ProcessMessages = [this] {
    ShowProgress();
    QCoreApplication::processEvents();
  };
  callbacks.ProcessMessagesWhileWaiting = callbacks.ProcessMessages;
  callbacks.ProcessMessagesBetweenChunks = callbacks.ProcessMessages;
  // Events and panel texts at most once per pump interval, not once per path.
  TThrottledCallbacks throttled(std::move(callbacks));
  TScanEngine engine(state_, list_, sort_, cancelRequested_, throttled.Callbacks());
  engine.SetPipeline(pipeline_);
  if (state_.ScanRunning) throw Error("A scan is already running.");
  engine.SetChecksumStore(ChecksumStore());
  // The records name catalogue positions of this scan only.
  folder_.reset();
  ShowFolderReport();
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
    ShowCounts();
    throw;
  }
  SetScanning(false);
  tellStore();
  ShowCounts();
  folder_ = std::move(outcome.Folder);
  ShowFolderReport();
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
  for (const std::string_view name : kDisabledWhileScanning) Action(Text(name))->setEnabled(!running);
  if (!running) Action(QStringLiteral("RecentMenu"))->setEnabled(!recentDats_.empty());
  pathsDone_ = pathsKnown_ = 0;
  progress_->setRange(0, 0);  // busy until the walk knows its first paths
  progress_->setVisible(running);
  EnableRebuild();
  emit scanRunningChanged(running);
}

void TMainForm::EnableRebuild() {
  Action(QStringLiteral("RebuildItem"))
      ->setEnabled(!state_.ScanRunning && RebuildOfferFor(state_.Catalogue).Releases > 0);
}

void TMainForm::ShowProgress() {
  if (pathsKnown_ == 0) return;
  // QProgressBar counts in int; the fraction is what matters.
  constexpr size_t kSteps = 1000;
  progress_->setRange(0, static_cast<int>(kSteps));
  progress_->setValue(static_cast<int>(pathsDone_ * kSteps / pathsKnown_));
}

void TMainForm::CancelItemClick() { cancelRequested_ = true; }

// --- reports -----------------------------------------------------------------

void TMainForm::SaveListItemClick() {
  const QString folder =
      TDialogs::ChooseFolder(this, QStringLiteral("Select have/miss list folder"), scanFolder_);
  if (folder.isEmpty()) return;
  SaveHaveMissLists(state_, FileBytes(folder), FolderReport());
  SetPanel(2, SavedListsText(FileBytes(folder)));
}

void TMainForm::FixDatItemClick() {
  const QString path = TDialogs::SaveFile(this, QString(), Shown(FixDatFileName(state_)),
                                          QStringLiteral("ClrMame Dat Files (*.dat)"), QStringLiteral("dat"));
  if (path.isEmpty()) return;
  SaveFixDat(state_, list_, FileBytes(path));
  SetPanel(2, FixDatWrittenText(FixDatEntryCount(CountByStatus(state_.Catalogue)), FileBytes(path)));
}

void TMainForm::RebuildItemClick() {
  if (state_.ScanRunning) return;
  const TRebuildOffer offer = RebuildOfferFor(state_.Catalogue);
  if (offer.Releases == 0) return;
  const std::optional<TRebuildChoiceMade> choice = AskRebuild(this, offer, rebuildFolder_);
  if (!choice) return;
  rebuildFolder_ = choice->Output;
  TRebuildPlan plan = PlanRebuild(state_, FileBytes(choice->Output), choice->Options);
  ProbeSources(plan);
  CheckFreeSpace(plan);
  // The rebuild counts as a scan while it runs: the menus that would load,
  // scan or rebuild are disabled, a drop or a load is refused, and Cancel
  // (or closing the window) sets the flag it stops at.
  cancelRequested_ = false;
  state_.ScanRunning = true;
  SetScanning(true);
  TPumpThrottle throttle;
  std::string stepText;
  TRebuildCallbacks callbacks;
  callbacks.Cancel = &cancelRequested_;
  callbacks.StepStarted = [this, &stepText](size_t position, size_t count, const TRebuildStep& step) {
    pathsDone_ = position;
    pathsKnown_ = count;
    stepText = " Rebuilding " + step.Name;
  };
  callbacks.Pump = [this, &throttle, &stepText] {
    if (!throttle.Due()) return;
    SetPanel(2, stepText);
    ShowProgress();
    QCoreApplication::processEvents();
  };
  TRebuildReport report;
  try {
    report = RunRebuild(plan, callbacks);
  } catch (...) {
    state_.ScanRunning = false;
    SetScanning(false);
    throw;
  }
  state_.ScanRunning = false;
  SetScanning(false);
  // A move's releases lie at their targets now: their rows say so.
  if (!TakeMovedPlaces(state_.Catalogue, plan, report).empty()) {
    model_->StatusTextsChanged();
    filter_->Refilter();
  }
  SetPanel(2, RebuildStatusText(report));
  // A window closed meanwhile shows no summary after it has gone.
  if (!isVisible()) return;
  TDialogs::Message(this, {Shown(RebuildSummaryText(plan, report)), QStringLiteral("Rebuild Set"),
                           QMessageBox::Information, 0, QMessageBox::Ok});
}

std::vector<bool> TMainForm::SelectedOrCurrentRows() const {
  std::vector<bool> selected(list_.Count(), false);
  QModelIndexList rows = view_->selectionModel()->selectedRows();
  // Nothing selected: the row with the focus, as a selection of one.
  if (rows.isEmpty() && view_->currentIndex().isValid()) rows.push_back(view_->currentIndex());
  for (const QModelIndex& row : rows) {
    const QModelIndex source = filter_->mapToSource(row);
    if (source.isValid()) selected[static_cast<size_t>(source.row())] = true;
  }
  return selected;
}

void TMainForm::CopyItemClick() {
  // Each name decoded as the list shows it, each line ended.
  QString text;
  const std::string names = BuildSelectionCopy(list_, SelectedOrCurrentRows());
  for (const std::string_view line : ExplodeViews("\r\n", names))
    if (!line.empty()) text += Shown(std::string(line)) + QStringLiteral("\r\n");
  if (text.isEmpty()) return;
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->setText(text);
  if (clipboard->text() != text) throw Error("Cannot open clipboard");
}

const TRomItem* TMainForm::CurrentItem() const {
  const QModelIndex source = filter_->mapToSource(view_->currentIndex());
  if (!source.isValid() || static_cast<size_t>(source.row()) >= list_.Count()) return nullptr;
  return &state_.Catalogue[list_[static_cast<size_t>(source.row())].Entry];
}

void TMainForm::ShowContextMenu(const QPoint& at) {
  const QModelIndex index = view_->indexAt(at);
  if (!index.isValid()) return;
  if (!view_->selectionModel()->isRowSelected(index.row(), {}))
    view_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  else
    view_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
  const TRomItem* item = CurrentItem();
  const bool found = item != nullptr && !FoundDumpFile(*item).empty();
  Action(QStringLiteral("CopyPathItem"))->setEnabled(found);
  Action(QStringLiteral("OpenFolderItem"))->setEnabled(found);
  contextMenu_->popup(view_->viewport()->mapToGlobal(at));
}

void TMainForm::CopyPathItemClick() {
  const TRomItem* item = CurrentItem();
  if (item == nullptr || FoundDumpFile(*item).empty()) return;
  const QString text = FileText(FoundDumpFile(*item)) + QStringLiteral("\r\n");
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->setText(text);
  if (clipboard->text() != text) throw Error("Cannot open clipboard");
}

void TMainForm::OpenFolderItemClick() {
  const TRomItem* item = CurrentItem();
  if (item == nullptr || FoundDumpFile(*item).empty()) return;
  TDialogs::ShowFolder(FileText(PathFolder(FoundDumpFile(*item))));
}

// --- the rest of the menu ----------------------------------------------------

void TMainForm::ExitItemClick() {
  close();
  QCoreApplication::quit();
}

void TMainForm::UpdateItemClick() {
  // The reload would replace the catalogue under the running scan.
  if (state_.ScanRunning) throw Error("The update cannot run while a scan is running.");
  std::string arrived;
  if (RunUpdateWindow(this, DefaultUpdateFormConfig(), &arrived) == 1) ReloadCurrentDat(arrived);
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
  const QString text = QString::fromUtf8(kAboutTitle) + QStringLiteral("\nVersion ") +
                       QString::fromLatin1(kProgramVersionText) + QLatin1Char('\n') + QString::fromUtf8(kAboutCredits);
  MessageBoxWithIcon(this, text, QString::fromUtf8(kAboutCaption), QMessageBox::Ok, kAboutIconId);
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
