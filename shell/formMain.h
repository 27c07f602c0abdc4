// The main window: the catalogue's list, the menus and the status bar, and
// the handlers behind them. It owns the audit state the whole program shares
// (the catalogue, the dat's values, the cache table), the list's rows and
// sort state and the cancel flag. Every handler only calls the core and
// shows the result; an error a handler does not catch is shown by the
// default error report (shell/ErrorReport.h) and the window carries on.
#pragma once

#include <QMainWindow>
#include <QString>
#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/RomList.h"
#include "scan/AuditState.h"
#include "scan/DatOpen.h"
#include "scan/FolderReport.h"
#include "scan/ScanPipeline.h"
#include "scan/store/ChecksumStore.h"
#include "shell/MenuBuilder.h"

class QLabel;
class QMenu;
class QProgressBar;
class QTabWidget;
class QTableView;

namespace vexmoor {
class TSettingsStore;
}

namespace vexmoor::shell {

class TFlatMenuStyle;
class TListFilterBar;
class TOtherFilesView;
class TRomFilterModel;
class TRomListModel;
class TStatusPanel;

class TMainForm : public QMainWindow {
  Q_OBJECT

 public:
  // `programFolder` is the program's folder (ProgramDir), which start-up has
  // made the current folder. Creating the window runs FormCreate: the
  // settings, the start-up dat, the file types and the caption.
  explicit TMainForm(std::string programFolder, QWidget* parent = nullptr);
  // FormDestroy: writes the settings back.
  ~TMainForm() override;

  // The hidden dat encoder window that "Dat Encoder" shows.
  void SetEncoderForm(QWidget* encoder) { encoder_ = encoder; }

  // Loads `path` as "&Pick Dat..." does after its dialog: CurrentDat becomes
  // the bare name, `loader` (unless None) becomes DatLoader, the list is
  // rebuilt, the counts reset, the dat joins the recent dats, "Save
  // Lists..." is hidden and the last column refitted. A load that fails
  // changes nothing (list, columns, counts, setting) and throws Error with
  // DatFailureText; so does a load while a scan runs.
  void OpenDat(const QString& path, TDatLoader loader);
  // FillList: rebuilds the list from the catalogue in the dat's SORT order
  // and shows " Loaded %d items." in panel 2.
  void FillList();
  // After the update window fetched new dats: loads the dat again, or the
  // dat the settings name when none was loaded, when its file is there;
  // then panel 2 says what arrived (`arrived`, UpdateArrivedText) if any.
  void ReloadCurrentDat(const std::string& arrived = {});
  // Scans `folder` as "&Scan..." does after its chooser. Returns after the
  // scan; throws what ends it early, and Error while another scan runs.
  void ScanFolder(const QString& folder);

  // For the other windows and for tests.
  TAuditState& State() { return state_; }
  const TRomList& List() const { return list_; }
  TSortState& Sort() { return sort_; }
  TRomListModel& Model() { return *model_; }
  QTableView* ListView() const { return view_; }
  TRomFilterModel& Filter() { return *filter_; }
  TListFilterBar* FilterBar() const { return filterBar_; }
  QProgressBar* Progress() const { return progress_; }
  QLabel* DatLabel() const { return datLabel_; }
  QLabel* EmptyHint() const { return emptyHint_; }
  QMenu* ContextMenu() const { return contextMenu_; }
  // The tabs of the releases' list and of the folder's other files, and
  // the second list; FolderReport() is the last scan's since the dat was
  // loaded (none before), which "Save Lists..." writes as NAME-Unknown.txt.
  QTabWidget* Tabs() const { return tabs_; }
  TOtherFilesView* OtherFiles() const { return otherFiles_; }
  const TFolderReport* FolderReport() const { return folder_ ? &*folder_ : nullptr; }
  const std::vector<std::string>& RecentDats() const { return recentDats_; }
  // The view's index of the list model's row `row`, column `column`
  // (invalid while the filter hides the row).
  QModelIndex ViewIndex(int row, int column) const;
  QAction* Action(const QString& name) const { return actions_.value(name); }
  QString PanelText(int panel) const;
  QString ScanFolderSetting() const { return scanFolder_; }
  bool ScanRunning() const { return state_.ScanRunning; }
  // How many workers read ahead of the scan (by default one per core).
  void SetScanPipeline(const TPipelineLimits& limits) { pipeline_ = limits; }
  void RequestCancel() { cancelRequested_ = true; }

  // The handlers of the menu entries of the same names.
  void PickItemClick();
  void ScanItemClick();
  void SaveListItemClick();
  void FixDatItemClick();
  // "Rebuild Set...": the dialog (shell/formRebuild.h), then the rebuild of
  // the last scan's finds with the scan's progress bar and Cancel, then its
  // summary.
  void RebuildItemClick();
  void CopyItemClick();
  void CancelItemClick();
  void ExitItemClick();
  void UpdateItemClick();
  void DatEncoderItemClick();
  void HomepageItemClick();
  void ForumItemClick();
  void IrcMenuClick();
  void EmailItemClick();
  void AboutItemClick();
  // The right-click menu's entries, for the current row: its found dump's
  // path to the clipboard, and that file's folder opened.
  void CopyPathItemClick();
  void OpenFolderItemClick();

 signals:
  // A scan began (true) or ended (false); windows that reload the
  // catalogue disable that while it runs.
  void scanRunningChanged(bool running);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildWindow();
  void BuildListView(QWidget* panel);
  void BuildStatusBar();
  void BuildContextMenu();
  void ConnectHandlers();
  void FormCreate();
  void FormDestroy();
  void LoadStartupDat();
  void RestoreLayout();
  void SaveLayout();
  void LoadAndFill(const std::string& path, TDatLoader loader);
  void DatChanged();
  void RebuildRecentMenu();
  void ShowCounts();
  // The second list and its tab's caption show folder_ (or nothing).
  void ShowFolderReport();
  void SetupColumns(const TColumnWidths& widths);
  // A column's width for the core's `width`, widened to fit `sample` (the
  // widest text the column shows) in the list's font.
  int FittedColumnWidth(int width, const QString& sample) const;
  void ListViewResize();
  void ListViewChange();
  void UpdateSortArrow(int column);
  void ShowContextMenu(const QPoint& at);
  // The list model's rows selected, or the current row when none is.
  std::vector<bool> SelectedOrCurrentRows() const;
  // The catalogue entry of the current row, or null.
  const TRomItem* CurrentItem() const;
  void SetPanel(int panel, const std::string& text);
  void SetScanning(bool running);
  // "Rebuild Set..." is enabled while nothing runs and the last scan found
  // dumps at known places.
  void EnableRebuild();
  void ShowProgress();
  TChecksumStore* ChecksumStore();
  void OpenUrl(const char* url);

  std::string programFolder_;
  TAuditState state_;
  TRomList list_;
  TSortState sort_;
  std::atomic<bool> cancelRequested_{false};
  std::unique_ptr<TSettingsStore> settings_;
  // The start stored its settings: their absence at the close means moorpurge
  // removed them.
  bool settingsStored_ = false;
  TPipelineLimits pipeline_{DefaultScanWorkers()};
  // Opened at the first scan with Remember Checksums ticked; its lines wait
  // in storeNotices_ until the scan is over, then show in the status bar.
  std::unique_ptr<TChecksumStore> checksums_;
  std::vector<std::string> storeNotices_;
  QString scanFolder_;  // where the folder chooser starts and what it returned last
  QString rebuildFolder_;  // the rebuild's output chosen last

  std::vector<std::string> recentDats_;  // newest first
  // The scan's progress, shown at the next pump (a repaint per path would
  // slow the scan down).
  size_t pathsDone_ = 0;
  size_t pathsKnown_ = 0;

  TRomListModel* model_ = nullptr;
  TRomFilterModel* filter_ = nullptr;
  TListFilterBar* filterBar_ = nullptr;
  QTableView* view_ = nullptr;
  QLabel* emptyHint_ = nullptr;
  QMenu* contextMenu_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  TOtherFilesView* otherFiles_ = nullptr;
  std::optional<TFolderReport> folder_;
  std::array<TStatusPanel*, 3> panels_{};
  QProgressBar* progress_ = nullptr;
  QLabel* datLabel_ = nullptr;
  TFlatMenuStyle* menuStyle_ = nullptr;
  TMenuActions actions_;
  QWidget* encoder_ = nullptr;
};

}  // namespace vexmoor::shell
