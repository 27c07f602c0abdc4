// The update window: 200 ms after it opens it asks the update service which
// dats and program build are newer than ours, offers them as checked rows,
// and "&Update" downloads the checked ones into the program's folder. A new
// program build is then started to replace this program, which ends.
//
// Result of exec(): 1 after an update run, -1 when nothing was offered, 0
// when the user closed it. While a request runs the window processes
// events, so it redraws and a close ends the request.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "updater/Updater.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeView;

namespace vexmoor::shell {

class TUpdateRowModel;

struct TUpdateFormConfig {
  std::string BaseUrl;      // the update service, ending in "update/"
  std::string ProgramPath;  // the running program's full path
  std::string Folder;       // where the dats lie and downloads go; "" is the current folder
  // The `UpdatePublicKey` setting: a minisign public key line trusted beside
  // the built-in key (TrustedUpdateKeys); "" for none.
  std::string PublicKey;
  // Hands over to the downloaded build at `downloadedPath` (started with
  // "-update" and ProgramPath) and ends the application; the window calls it
  // after a run that downloaded the program entry. An error it throws is
  // shown by the default error report and the program keeps running.
  std::function<void(const std::string& downloadedPath)> Restart;
};

// The base URL from the `UpdateURL` setting (the compiled default when it is
// missing or blank), the `UpdatePublicKey` setting, this program, the
// current folder (the program's, which start-up made current), and the
// hand-over of StartProgramUpdate followed by the application's quit.
TUpdateFormConfig DefaultUpdateFormConfig();

// True once the default restart has started a new build to replace this
// program: the process must end. The "-upgrade" start-up, where no event
// loop runs yet for the quit to end, tests it after the window closes.
bool ProgramHandedOver();

class TUpdateForm : public QDialog {
  Q_OBJECT

 public:
  TUpdateForm(QWidget* owner, TUpdateFormConfig config);
  ~TUpdateForm() override;

  // The window's handlers.
  void UpdateTimerTimer();
  void UpdateButtonClick();

  // For tests.
  const std::vector<TUpdateRecord>& Records() const { return records_; }
  TUpdater& Updater() { return updater_; }
  QTreeView* ListView() const { return listView_; }
  QProgressBar* Progress() const { return progress_; }
  QWidget* ButtonPanel() const { return buttonPanel_; }
  QLabel* BytesPanel() const { return bytesPanel_; }
  QLabel* TotalPanel() const { return totalPanel_; }
  QPushButton* UpdateButton() const { return updateButton_; }

 public slots:
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildWindow();
  QWidget* BuildMainPanel();
  QWidget* BuildStatusPanel();
  QWidget* BuildButtonPanel();
  void ListViewResize();
  void ShowOffered(std::vector<TUpdateRecord> offered);
  void NothingOffered();
  void StartItem(const TUpdateRecord& record);
  void HttpDocData(const TByteCounters& counters);
  void FinishRun(const TUpdateRunResult& run);

  TUpdateFormConfig config_;
  TUpdater updater_;
  std::vector<TUpdateRecord> records_;
  std::vector<bool> checked_;
  TUpdateRowModel* model_ = nullptr;
  QTreeView* listView_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QWidget* buttonPanel_ = nullptr;
  QLabel* bytesPanel_ = nullptr;
  QLabel* totalPanel_ = nullptr;
  QPushButton* updateButton_ = nullptr;
  QTimer* updateTimer_ = nullptr;
};

// UpdateItemClick's window: opens the update window modally over `owner`
// with `config` and returns its result.
int RunUpdateWindow(QWidget* owner, TUpdateFormConfig config);

}  // namespace vexmoor::shell
