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
#include <string>

#include "catalogue/RomList.h"
#include "scan/AuditState.h"
#include "scan/DatOpen.h"
#include "scan/ScanPipeline.h"
#include "scan/store/ChecksumStore.h"
#include "shell/MenuBuilder.h"

class QTableView;

namespace vexmoor {
class TSettingsStore;
}

namespace vexmoor::shell {

class TFlatMenuStyle;
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
  // rebuilt (also after a load that failed half-way, so no row refers to a
  // removed entry), "Save Lists..." is hidden and the last column refitted.
  // Throws what the load throws, and Error while a scan runs.
  void OpenDat(const QString& path, TDatLoader loader);
  // FillList: rebuilds the list from the catalogue in the dat's SORT order
  // and shows " Loaded %d items." in panel 2.
  void FillList();
  // Loads CurrentDat again with DatLoader, when both are there (after the
  // update window has fetched new dats).
  void ReloadCurrentDat();
  // Scans `folder` as "&Scan..." does after its chooser. Returns after the
  // scan; throws what ends it early, and Error while another scan runs.
  void ScanFolder(const QString& folder);

  // For the other windows and for tests.
  TAuditState& State() { return state_; }
  const TRomList& List() const { return list_; }
  TSortState& Sort() { return sort_; }
  TRomListModel& Model() { return *model_; }
  QTableView* ListView() const { return view_; }
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
  void BuildStatusBar();
  void ConnectHandlers();
  void FormCreate();
  void FormDestroy();
  void LoadStartupDat();
  void LoadAndFill(const std::string& path, TDatLoader loader);
  void SetupColumns(const TColumnWidths& widths);
  // The CRC column's width for the core's `width` in the list's font.
  int CrcColumnWidth(int width) const;
  void ListViewResize();
  void ListViewChange();
  void SetPanel(int panel, const std::string& text);
  void SetScanning(bool running);
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

  TRomListModel* model_ = nullptr;
  QTableView* view_ = nullptr;
  std::array<TStatusPanel*, 3> panels_{};
  TFlatMenuStyle* menuStyle_ = nullptr;
  TMenuActions actions_;
  QWidget* encoder_ = nullptr;
};

}  // namespace vexmoor::shell
