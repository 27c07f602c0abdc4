// moorscan-screenshot DAT ROM_FOLDER OUT.png [WIDTH HEIGHT [other|rebuild]]
// Drives the real main window for the README's picture: loads a copy of DAT
// (so the cache file lands beside the copy), scans ROM_FOLDER, selects two
// rows and saves the window as a PNG; with "other", one scan of ROM_FOLDER
// and the tab of the folder's other files, sorted by kind; with "rebuild",
// the "Rebuild Set" dialog over one scan's finds. A developer tool, not installed; it
// keeps its settings in a temporary folder of its own.
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "platform/ProgramFolder.h"
#include "shell/Dialogs.h"
#include "shell/OtherFilesView.h"
#include "shell/RomListModel.h"
#include "shell/formMain.h"
#include "shell/formRebuild.h"

namespace {

int Save(QWidget& window, const QString& out) {
  int status = 1;
  QTimer::singleShot(800, [&] {
    status = window.grab().save(out, "PNG") ? 0 : 1;
    QApplication::quit();
  });
  QApplication::exec();
  return status;
}

int ShowOtherFiles(vexmoor::shell::TMainForm& form, const QString& dat, const QString& roms,
                   const QString& out) {
  form.OpenDat(dat, vexmoor::TDatLoader::QuenDat);
  form.ScanFolder(roms);
  form.Tabs()->setCurrentIndex(1);
  form.OtherFiles()->View()->sortByColumn(0, Qt::AscendingOrder);
  form.OtherFiles()->View()->selectRow(0);
  return Save(form, out);
}

int ShowRebuildDialog(vexmoor::shell::TMainForm& form, const QString& dat, const QString& roms,
                      const QString& out, const QString& output) {
  form.OpenDat(dat, vexmoor::TDatLoader::QuenDat);
  form.ScanFolder(roms);
  vexmoor::shell::TRebuildForm dialog(&form, vexmoor::RebuildOfferFor(form.State().Catalogue), output);
  dialog.show();
  return Save(dialog, out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 6 && argc != 7) {
    std::fprintf(stderr, "usage: moorscan-screenshot DAT ROM_FOLDER OUT.png [WIDTH HEIGHT [other|rebuild]]\n");
    return 2;
  }
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
  qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vexmoor"));
  vexmoor::shell::TDialogs::Script();
  const QStringList args = QApplication::arguments();
  const QString dat = home.filePath(QFileInfo(args[1]).fileName());
  const QString roms = QFileInfo(args[2]).absoluteFilePath();
  const QString out = QFileInfo(args[3]).absoluteFilePath();
  if (!QFile::copy(args[1], dat)) return 1;
  const std::string folder = QFile::encodeName(home.path()).toStdString() + "/";
  vexmoor::SetCurrentFolder(folder);
  vexmoor::shell::TMainForm form(folder);
  if (argc >= 6) form.resize(args[4].toInt(), args[5].toInt());
  form.show();
  if (argc == 7 && args[6] == QStringLiteral("rebuild"))
    return ShowRebuildDialog(form, dat, roms, out, home.filePath(QStringLiteral("rebuilt")));
  if (argc == 7) return ShowOtherFiles(form, dat, roms, out);
  // Every status at once: a first scan fills the cache, so after the reload
  // its finds are cached; a second scan of one subfolder finds some again
  // (and the bad dump); the list sorted by Status groups them.
  form.OpenDat(dat, vexmoor::TDatLoader::QuenDat);
  form.ScanFolder(roms);
  form.OpenDat(dat, vexmoor::TDatLoader::QuenDat);
  form.ScanFolder(roms + QStringLiteral("/Europe"));
  emit form.ListView()->horizontalHeader()->sectionClicked(4);  // a header click, arrow and all
  for (const int row : {9, 11}) {
    form.ListView()->selectionModel()->select(form.ViewIndex(row, 0),
                                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  return Save(form, out);
}
