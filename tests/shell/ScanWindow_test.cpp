// The main window's work: picking dats through each filter entry, scanning
// the sample folder, cancelling, the guards while a scan runs, the reports,
// the selection copy and dropped files.
#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QStatusBar>
#include <QProcess>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <cerrno>
#include <functional>
#include <memory>

#include "platform/Errors.h"
#include "platform/FaultFileSystem.h"
#include "platform/ProgramFolder.h"
#include "platform/qt/Settings.h"
#include "shell/GuiTest.h"
#include "shell/ListFilterBar.h"
#include "shell/RomListModel.h"
#include "shell/StatusPanel.h"
#include "shell/formMain.h"

namespace vexmoor::shell {

using test::ExamplesFolder;

class TScanWindowTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir roms_;  // the sample rom folder, written once
  std::unique_ptr<QTemporaryDir> dir_;
  std::string startFolder_;

  QString Path(const QString& name) const { return dir_->filePath(name); }
  QString RomFolder() const { return roms_.filePath(QStringLiteral("roms")); }
  QString SampleDat() const { return Path(QStringLiteral("sample-ds.qdat")); }

  std::unique_ptr<TMainForm> Start() {
    SetCurrentFolder(QFile::encodeName(dir_->path()).toStdString());
    auto form = std::make_unique<TMainForm>(QFile::encodeName(dir_->path()).toStdString() + "/");
    form->show();
    return form;
  }
  static void Pick(TMainForm& form, const QString& path, int filterIndex) {
    TDialogs::Answer(TDialogAnswer::File(path, filterIndex));
    form.Action(QStringLiteral("PickItem"))->trigger();
  }
  void Scan(TMainForm& form) const {
    TDialogs::Answer(TDialogAnswer::Folder(RomFolder()));
    form.Action(QStringLiteral("ScanItem"))->trigger();
  }
  // Runs `during` once, from the first pump of the next scan.
  static void DuringTheScan(std::function<void()> during) { QTimer::singleShot(0, during); }
  static QString Cell(TMainForm& form, int row, int column) {
    return form.Model().index(row, column).data().toString();
  }
  static int RowOfName(TMainForm& form, const QString& name) {
    for (int row = 0; row < form.Model().rowCount(); ++row)
      if (Cell(form, row, 2) == name) return row;
    return -1;
  }
  static QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
  }
  static bool ReportShown() {
    for (const TDialogRequest& request : TDialogs::Shown())
      if (request.Kind == TDialogKind::Message && request.Icon == QMessageBox::Critical) return true;
    return false;
  }
  static void Drop(TMainForm& form, const QString& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &enter);
    if (!enter.isAccepted()) return;
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &drop);
    QCoreApplication::processEvents();
  }

 private slots:
  void initTestCase() {
    if (!test::WriteSampleRoms(RomFolder())) QSKIP("python3 cannot write the sample rom folder");
  }
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    startFolder_ = CurrentFolder();
    QVERIFY(QFile::copy(ExamplesFolder() + QStringLiteral("sample-ds.qdat"), SampleDat()));
    QFile::remove(TSettingsStore().Location());
    TDialogs::ClearShown();
  }
  void cleanup() {
    SetCurrentFolder(startFolder_);
    QFile::remove(TSettingsStore().Location());
    QCOMPARE(TDialogs::PendingAnswers(), size_t{0});
  }

  void theFilterEntryChosenDecidesTheLoader() {
    auto form = Start();
    QAbstractItemModelTester tester(&form->Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    Pick(*form, SampleDat(), 0);
    QCOMPARE(form->Model().rowCount(), 40);
    QCOMPARE(form->State().DatLoader, TDatLoader::QuenDat);
    QCOMPARE(form->State().CurrentDat, std::string("sample-ds.qdat"));
    // A plain native text through the first entry, whatever its name.
    QVERIFY(QFile::copy(ExamplesFolder() + QStringLiteral("sample-ds.txt"), Path(QStringLiteral("native.dat"))));
    Pick(*form, Path(QStringLiteral("native.dat")), 0);
    QCOMPARE(form->Model().rowCount(), 40);
    Pick(*form, ExamplesFolder() + QStringLiteral("sample-rc.dat"), 1);
    QCOMPARE(form->Model().rowCount(), 6);
    QCOMPARE(form->State().DatLoader, TDatLoader::RomCenter);
    QVERIFY(!ReportShown());
    // A container through the Rom Center entry once failed ("The dat has no
    // [GAMES] line.") and emptied the list: its content decides.
    Pick(*form, SampleDat(), 1);
    QVERIFY(!ReportShown());
    QCOMPARE(form->Model().rowCount(), 40);
  }

  // A damaged dat through F2 once did nothing visible while the settings
  // came to name it; a bad CRC left a half row "(no name) 00000000".
  void aPickThatFailsSaysWhyAndKeepsListColumnsCountsAndSetting() {
    auto form = Start();
    Pick(*form, SampleDat(), 0);
    Scan(*form);
    const QString counts = form->FilterBar()->CountsLabel()->text();
    QFile junk(Path(QStringLiteral("damaged.qdat")));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray("QDAT") + QByteArray(40, '\x5a'));
    junk.close();
    QFile badCrc(Path(QStringLiteral("badcrc.qdat")));
    QVERIFY(badCrc.open(QIODevice::WriteOnly));
    badCrc.write("[INFO]\r\nFIELDS=INDEX|CRC32|NAME\r\n[DAT]\r\n1|00000001|One\r\n2|ZZZZ|Two\r\n");
    badCrc.close();
    const struct {
      const char* Name;
      const char* Says;
    } cases[] = {{"damaged.qdat", "does not decipher to a packed dat (another key, or a damaged file)"},
                 {"badcrc.qdat", "\"badcrc.qdat\", line 5: 'ZZZZ' is not a valid CRC32 value"}};
    for (const auto& bad : cases) {
      TDialogs::ClearShown();
      Pick(*form, Path(QString::fromLatin1(bad.Name)), 0);
      QVERIFY(ReportShown());
      const QString text = TDialogs::Shown().back().Text;
      QVERIFY2(text.contains(QString::fromLatin1(bad.Says)), qPrintable(text));
      QVERIFY2(text.contains(QStringLiteral("The list shown before is kept.")), qPrintable(text));
      QCOMPARE(form->Model().rowCount(), 40);
      QCOMPARE(RowOfName(*form, QStringLiteral("One")), -1);
      for (int column = 0; column < 5; ++column) QVERIFY(!form->ListView()->isColumnHidden(column));
      QCOMPARE(form->FilterBar()->CountsLabel()->text(), counts);
      QCOMPARE(form->PanelText(1), QStringLiteral(" Missing : 27"));
      QCOMPARE(form->State().CurrentDat, std::string("sample-ds.qdat"));
    }
    form.reset();
    QCOMPARE(TSettingsStore().ReadText("QuenDat"), std::string("sample-ds.qdat"));
  }

  void theThirdFilterEntryLoadsLogiqxClrMameProAndOfflineListPlainOrZipped() {
    auto form = Start();
    const QString data = QStringLiteral(VEXMOOR_SOURCE_DIR "/tests/data/dats/");
    QVERIFY(QFile::copy(data + QStringLiteral("logiqx-ds.xml"), Path(QStringLiteral("set.xml"))));
    QProcess zip;
    zip.setWorkingDirectory(dir_->path());
    zip.start(QStringLiteral("zip"), {QStringLiteral("-q"), QStringLiteral("set.zip"), QStringLiteral("set.xml")});
    QVERIFY(zip.waitForFinished() && zip.exitCode() == 0);
    Pick(*form, Path(QStringLiteral("set.zip")), 2);
    QVERIFY(!ReportShown());
    QCOMPARE(form->State().DatLoader, TDatLoader::OtherDat);
    QCOMPARE(form->State().CurrentDat, std::string("set.zip"));
    QCOMPARE(form->Model().rowCount(), 6);
    const int bravo = RowOfName(*form, QStringLiteral("Bravo & Charlie (Japan)"));
    QVERIFY(bravo >= 0);
    QCOMPARE(Cell(*form, bravo, 1), QStringLiteral("0002"));
    QCOMPARE(form->Model().index(bravo, 0).data().toString().trimmed(), QStringLiteral("J"));
    Pick(*form, data + QStringLiteral("offlinelist-ds.xml"), 2);
    QCOMPARE(form->Model().rowCount(), 6);
    // The Rom Center entry too reads a clrmamepro dat by its content.
    Pick(*form, data + QStringLiteral("clrmamepro-ds.dat"), 1);
    QCOMPARE(form->Model().rowCount(), 4);
    // A dat cut short is reported, and the list keeps the dat before it.
    QVERIFY(QFile::copy(data + QStringLiteral("clrmamepro-ds.dat"), Path(QStringLiteral("cut.xml"))));
    QFile cut(Path(QStringLiteral("cut.xml")));
    QVERIFY(cut.resize(200));
    Pick(*form, Path(QStringLiteral("cut.xml")), 2);
    QVERIFY(ReportShown());
    QCOMPARE(form->Model().rowCount(), 4);
  }

  void aScanMarksTheSampleFolderAndWritesTheCache() {
    auto form = Start();
    QAbstractItemModelTester tester(&form->Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    Pick(*form, SampleDat(), 0);
    Scan(*form);
    QVERIFY(!ReportShown());
    const TDialogRequest& chooser = TDialogs::Shown()[1];
    QCOMPARE(chooser.Kind, TDialogKind::Folder);
    QCOMPARE(chooser.Caption, QStringLiteral("Select rom folder"));
    QCOMPARE(form->PanelText(0), QStringLiteral(" Found : 12"));
    QCOMPARE(form->PanelText(1), QStringLiteral(" Missing : 27"));  // the bad dump is not missing
    QCOMPARE(form->PanelText(2), QStringLiteral(" Scanning complete."));
    QCOMPARE(Cell(*form, RowOfName(*form, QStringLiteral("Copper Comet Rally")), 4),
             QStringLiteral("Found : \"Copper Comet Rally.nds\"  ::  \"%1/USA/\"").arg(RomFolder()));
    QVERIFY(Cell(*form, RowOfName(*form, QStringLiteral("Pocket Observatory")), 4)
                .startsWith(QStringLiteral("Bad : Pocket Observatory.nds   Error : Bad SMT v1.0 Dump")));
    QCOMPARE(Cell(*form, RowOfName(*form, QStringLiteral("Snowlark Express")), 4), QStringLiteral("Missing"));
    QCOMPARE(Read(Path(QStringLiteral("sample-ds.qcache"))).size(), 10 + 5 * 11);  // 12 found, two share a CRC
    for (const char* shown : {"SaveListItem", "FixDatItem"}) QVERIFY(form->Action(QString::fromLatin1(shown))->isVisible());
    QVERIFY(!form->Action(QStringLiteral("CancelItem"))->isVisible());
    QCOMPARE(form->ScanFolderSetting(), RomFolder());
    // The next chooser starts where this one ended; a pick hides only the lists.
    TDialogs::Answer(TDialogAnswer::Cancel());
    form->Action(QStringLiteral("ScanItem"))->trigger();
    QCOMPARE(TDialogs::Shown().back().StartPath, RomFolder());
    Pick(*form, SampleDat(), 0);
    QVERIFY(!form->Action(QStringLiteral("SaveListItem"))->isVisible());
    QVERIFY(form->Action(QStringLiteral("FixDatItem"))->isVisible());
    QCOMPARE(Cell(*form, RowOfName(*form, QStringLiteral("Copper Comet Rally")), 4), QStringLiteral("Cached"));
  }

  // Root runs the tests, so a fault stands in for a folder without
  // permission. The scan finishes; one report names the folder.
  void whatCouldNotBeExaminedIsReportedOnceAfterTheScan() {
    auto form = Start();
    Pick(*form, SampleDat(), 0);
    QVERIFY(QDir().mkpath(Path(QStringLiteral("scan/locked"))));
    TFaultFileSystem faults;
    const TFileSystemOverride installed(faults);
    faults.FailCall(TFileOp::List, 1, EACCES, "locked", true);
    TDialogs::Answer(TDialogAnswer::Folder(Path(QStringLiteral("scan"))));
    form->Action(QStringLiteral("ScanItem"))->trigger();
    QCOMPARE(TDialogs::Shown().size(), size_t{3});  // the open and folder dialogs, the report
    const TDialogRequest& report = TDialogs::Shown().back();
    QCOMPARE(report.Icon, QMessageBox::Critical);
    QCOMPARE(report.Text, QStringLiteral("The scan could not examine 1 path:\nCannot list folder \"%1/\". "
                                         "Permission denied.").arg(Path(QStringLiteral("scan/locked"))));
    QVERIFY(form->Action(QStringLiteral("SaveListItem"))->isVisible());
  }

  void cancelStopsTheScanAndTheEndPassStillRuns() {
    auto form = Start();
    Pick(*form, SampleDat(), 0);
    bool guarded = false;
    DuringTheScan([&] {
      guarded = form->Action(QStringLiteral("CancelItem"))->isVisible() &&
                !form->Action(QStringLiteral("PickItem"))->isEnabled() &&
                !form->Action(QStringLiteral("ScanItem"))->isEnabled() &&
                !form->Action(QStringLiteral("UpdateItem"))->isEnabled();
      form->Action(QStringLiteral("CancelItem"))->trigger();
    });
    Scan(*form);
    QVERIFY(guarded);
    QCOMPARE(form->PanelText(2), QStringLiteral(" Scanning complete."));
    QCOMPARE(form->PanelText(0), QStringLiteral(" Found : 0"));  // stopped at the first path
    QCOMPARE(Cell(*form, 0, 4), QStringLiteral("Missing"));
    QVERIFY(form->Action(QStringLiteral("PickItem"))->isEnabled());
    QVERIFY(!form->Action(QStringLiteral("CancelItem"))->isVisible());
    QVERIFY(form->Action(QStringLiteral("SaveListItem"))->isVisible());
    QVERIFY(QFile::exists(Path(QStringLiteral("sample-ds.qcache"))));
  }

  // "Missing" once counted bad and cached rows, a cancelled re-scan showed
  // Missing 42262 with no row saying Missing, a new dat kept the old counts
  // and the labels were cut ("Match... 11085").
  void theCountsAgreeWithTheRowsAndShowInFull() {
    auto form = Start();
    Pick(*form, SampleDat(), 0);
    QCOMPARE(form->FilterBar()->CountsLabel()->text(), QStringLiteral("Found 0   Cached 0   Missing 40   Bad 0"));
    Scan(*form);
    const auto rowsSaying = [&](const QString& start) {
      int rows = 0;
      for (int row = 0; row < form->Model().rowCount(); ++row) rows += Cell(*form, row, 4).startsWith(start);
      return rows;
    };
    QCOMPARE(rowsSaying(QStringLiteral("Missing")), 27);
    QCOMPARE(form->FilterBar()->CountsLabel()->text(), QStringLiteral("Found 12   Cached 0   Missing 27   Bad 1"));
    // A re-scan cancelled at once: the cached finds stay, the counts follow the rows.
    Pick(*form, SampleDat(), 0);
    QCOMPARE(form->PanelText(0), QStringLiteral(" Found : n/a"));
    QCOMPARE(form->PanelText(1), QStringLiteral(" Missing : n/a"));
    DuringTheScan([&] { form->Action(QStringLiteral("CancelItem"))->trigger(); });
    Scan(*form);
    QCOMPARE(form->PanelText(1), QStringLiteral(" Missing : %1").arg(rowsSaying(QStringLiteral("Missing"))));
    QCOMPARE(form->FilterBar()->CountsLabel()->text(),
             QStringLiteral("Found 0   Cached %1   Missing %2   Bad 0")
                 .arg(rowsSaying(QStringLiteral("Cached")))
                 .arg(rowsSaying(QStringLiteral("Missing"))));
    // Another dat: its own counts.
    Pick(*form, ExamplesFolder() + QStringLiteral("sample-rc.dat"), 1);
    QCOMPARE(form->FilterBar()->CountsLabel()->text(), QStringLiteral("Found 0   Cached 0   Missing 6   Bad 0"));
    QCOMPARE(form->PanelText(1), QStringLiteral(" Missing : n/a"));
    // A large count shows whole in its panel.
    const QList<TStatusPanel*> panels = form->statusBar()->findChildren<TStatusPanel*>();
    panels[0]->SetText(QStringLiteral(" Matched : 1108500"));
    QCoreApplication::processEvents();
    QVERIFY(panels[0]->width() >= panels[0]->fontMetrics().horizontalAdvance(panels[0]->Text()));
  }

  // The options could be toggled during a scan, to no effect until the next.
  void theOptionsAndRecentDatsAreDisabledWhileScanningAndAProgressBarShows() {
    auto form = Start();
    Pick(*form, SampleDat(), 0);
    bool disabled = false;
    bool progress = false;
    DuringTheScan([&] {
      disabled = !form->Action(QStringLiteral("OptionsMenu"))->isEnabled() &&
                 !form->Action(QStringLiteral("RecentMenu"))->isEnabled();
      progress = form->Progress()->isVisible();
    });
    Scan(*form);
    QVERIFY(disabled);
    QVERIFY(progress);
    QVERIFY(!form->Progress()->isVisible());
    QVERIFY(form->Action(QStringLiteral("OptionsMenu"))->isEnabled());
    QVERIFY(form->Action(QStringLiteral("RecentMenu"))->isEnabled());
  }

  void closingTheWindowStopsTheScan() {
    auto form = Start();
    Pick(*form, SampleDat(), 0);
    DuringTheScan([&] { QVERIFY(form->close()); });
    Scan(*form);
    QVERIFY(!form->isVisible());
    QCOMPARE(form->PanelText(2), QStringLiteral(" Scanning complete."));
    QCOMPARE(form->PanelText(0), QStringLiteral(" Found : 0"));
  }

  void aSecondScanAPickAndADropAreRefusedWhileScanning() {
    auto form = Start();
    Pick(*form, SampleDat(), 0);
    int refused = 0;
    DuringTheScan([&] {
      const size_t dialogs = TDialogs::Shown().size();
      form->Action(QStringLiteral("ScanItem"))->trigger();  // disabled: nothing happens
      form->Action(QStringLiteral("PickItem"))->trigger();
      if (TDialogs::Shown().size() == dialogs) ++refused;
      try {
        form->ScanFolder(RomFolder());
      } catch (const Error&) {
        ++refused;
      }
      try {
        form->OpenDat(SampleDat(), TDatLoader::QuenDat);
      } catch (const Error&) {
        ++refused;
      }
      Drop(*form, ExamplesFolder() + QStringLiteral("sample-rc.dat"));
      if (form->State().Catalogue.Count() == 40) ++refused;
    });
    Scan(*form);
    QCOMPARE(refused, 4);
    QCOMPARE(form->PanelText(0), QStringLiteral(" Found : 12"));
  }

  void theReportsMatchTheCommandLineAudit() {
    auto form = Start();
    form->Action(QStringLiteral("CacheItem"))->trigger();  // no cache: both sides start alike
    Pick(*form, SampleDat(), 0);
    Scan(*form);
    QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("window")));
    TDialogs::Answer(TDialogAnswer::Folder(Path(QStringLiteral("window"))));
    form->Action(QStringLiteral("SaveListItem"))->trigger();
    QCOMPARE(TDialogs::Shown().back().Caption, QStringLiteral("Select have/miss list folder"));
    QCOMPARE(TDialogs::Shown().back().StartPath, RomFolder());
    TDialogs::Answer(TDialogAnswer::File(Path(QStringLiteral("window/fix.dat"))));
    form->Action(QStringLiteral("FixDatItem"))->trigger();
    QCOMPARE(TDialogs::Shown().back().StartPath, QStringLiteral("Vexmoor Sample DS-fix.dat"));
    QCOMPARE(TDialogs::Shown().back().Filters, QStringList{QStringLiteral("ClrMame Dat Files (*.dat)")});
    QVERIFY(!ReportShown());

    QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("cli")));
    QProcess audit;
    audit.start(QStringLiteral(VEXMOOR_CLI),
                {QStringLiteral("audit"), QStringLiteral("--no-cache"), SampleDat(), RomFolder(),
                 QStringLiteral("--lists"), Path(QStringLiteral("cli")), QStringLiteral("--fixdat"),
                 Path(QStringLiteral("cli/fix.dat"))});
    QVERIFY(audit.waitForFinished(60000));
    QCOMPARE(audit.exitCode(), 0);
    for (const char* name : {"Vexmoor Sample DS-Have.txt", "Vexmoor Sample DS-Miss.txt",
                             "Vexmoor Sample DS-Unknown.txt", "fix.dat"}) {
      const QString file = QString::fromLatin1(name);
      QCOMPARE(Read(Path(QStringLiteral("window/") + file)), Read(Path(QStringLiteral("cli/") + file)));
    }
  }

  void copyTakesTheSelectedNamesInListOrder() {
    auto form = Start();
    Pick(*form, SampleDat(), 0);
    QTableView* view = form->ListView();
    for (const int row : {9, 2, 5})
      view->selectionModel()->select(form->ViewIndex(row, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QVERIFY(form->Action(QStringLiteral("SelectionMenu"))->isVisible());
    const auto names = [&] {
      QString text;
      for (int row = 0; row < form->Model().rowCount(); ++row)
        if (view->selectionModel()->isRowSelected(row)) text += Cell(*form, row, 2) + QStringLiteral("\r\n");
      return text;
    };
    const QString byName = names();
    form->Action(QStringLiteral("CopyItem"))->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), byName);
    QCOMPARE(byName.count(QStringLiteral("\r\n")), 3);
    // Sorted by ID the same three entries stay selected, in their new order.
    QTest::mouseClick(view->horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(view->horizontalHeader()->sectionViewportPosition(1) + 5, 4));
    QCOMPARE(view->selectionModel()->selectedRows().size(), 3);
    const QString byId = names();
    QVERIFY(byId != byName);
    QStringList idLines = byId.split(QStringLiteral("\r\n"));
    QStringList nameLines = byName.split(QStringLiteral("\r\n"));
    idLines.sort();
    nameLines.sort();
    QCOMPARE(idLines, nameLines);
    QGuiApplication::clipboard()->clear();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);  // the entry's short-cut
    QCOMPARE(QGuiApplication::clipboard()->text(), byId);
  }

  // With no row selected, Ctrl+C copied the focused cell without a line end.
  void ctrlCWithoutASelectionCopiesTheCurrentRowsName() {
    auto form = Start();
    Pick(*form, SampleDat(), 0);
    QTableView* view = form->ListView();
    view->selectionModel()->setCurrentIndex(form->ViewIndex(4, 3), QItemSelectionModel::NoUpdate);
    QVERIFY(!view->selectionModel()->hasSelection());
    QGuiApplication::clipboard()->clear();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    view->setFocus();
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), Cell(*form, 4, 2) + QStringLiteral("\r\n"));
  }

  void theRowMenuCopiesNameAndPathOfAFoundDump() {
    auto form = Start();
    Pick(*form, SampleDat(), 0);
    Scan(*form);
    QTableView* view = form->ListView();
    const auto rightClick = [&](const QString& name) {
      const QModelIndex index = form->ViewIndex(RowOfName(*form, name), 2);
      emit view->customContextMenuRequested(view->visualRect(index).center());
      form->ContextMenu()->hide();
    };
    rightClick(QStringLiteral("Copper Comet Rally"));
    QCOMPARE(form->ContextMenu()->actions().size(), 3);
    QVERIFY(form->Action(QStringLiteral("CopyPathItem"))->isEnabled());
    QVERIFY(form->Action(QStringLiteral("OpenFolderItem"))->isEnabled());
    form->Action(QStringLiteral("CopyNameItem"))->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Copper Comet Rally\r\n"));
    form->Action(QStringLiteral("CopyPathItem"))->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), RomFolder() + QStringLiteral("/USA/Copper Comet Rally.nds\r\n"));
    rightClick(QStringLiteral("Snowlark Express"));  // missing: no dump to point at
    QVERIFY(!form->Action(QStringLiteral("CopyPathItem"))->isEnabled());
    QVERIFY(!form->Action(QStringLiteral("OpenFolderItem"))->isEnabled());
  }

  void theStatusBarConfirmsTheReports() {
    auto form = Start();
    Pick(*form, SampleDat(), 0);
    Scan(*form);
    TDialogs::Answer(TDialogAnswer::Folder(dir_->path()));
    form->Action(QStringLiteral("SaveListItem"))->trigger();
    QCOMPARE(form->PanelText(2), QStringLiteral(" Saved lists to ") + dir_->path());
    TDialogs::Answer(TDialogAnswer::File(Path(QStringLiteral("fix.dat"))));
    form->Action(QStringLiteral("FixDatItem"))->trigger();
    QCOMPARE(form->PanelText(2), QStringLiteral(" Fix dat written: 28 entries (%1)").arg(Path(QStringLiteral("fix.dat"))));
  }

  void aSortKeepsTheCurrentRowAndTheScrollPosition() {
    auto form = Start();
    Pick(*form, SampleDat(), 0);
    QTableView* view = form->ListView();
    view->setCurrentIndex(form->ViewIndex(30, 2));
    view->scrollTo(form->ViewIndex(30, 2), QAbstractItemView::PositionAtTop);
    const int scrolled = view->verticalScrollBar()->value();
    QVERIFY(scrolled > 0);
    const QString current = view->currentIndex().data().toString();
    QTest::mouseClick(view->horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(view->horizontalHeader()->sectionViewportPosition(3) + 5, 4));
    QCOMPARE(view->currentIndex().data().toString(), current);
    QCOMPARE(view->verticalScrollBar()->value(), scrolled);
  }

  // With no dat loaded a scan has nothing to look for: F3 says so instead
  // of asking for a folder, and so does a dropped folder.
  void aScanWithoutADatSaysWhy() {
    auto form = Start();
    form->Action(QStringLiteral("ScanItem"))->trigger();
    QCOMPARE(TDialogs::Shown().size(), size_t{1});
    QCOMPARE(TDialogs::Shown()[0].Kind, TDialogKind::Message);
    QVERIFY(TDialogs::Shown()[0].Text.startsWith(QStringLiteral("No dat is loaded")));
    Drop(*form, RomFolder());
    QCOMPARE(TDialogs::Shown().size(), size_t{2});
    QCOMPARE(form->PanelText(0), QStringLiteral(" Found : n/a"));
    QVERIFY(!form->Action(QStringLiteral("SaveListItem"))->isVisible());
  }

  void aDroppedDatLoadsAndADroppedFolderScans() {
    auto form = Start();
    Drop(*form, ExamplesFolder() + QStringLiteral("sample-rc.dat"));
    QCOMPARE(form->Model().rowCount(), 6);
    QCOMPARE(form->State().DatLoader, TDatLoader::RomCenter);
    Drop(*form, SampleDat());
    QCOMPARE(form->Model().rowCount(), 40);
    Drop(*form, RomFolder());
    QCOMPARE(form->PanelText(0), QStringLiteral(" Found : 12"));
    QCOMPARE(form->ScanFolderSetting(), RomFolder());
    Drop(*form, ExamplesFolder() + QStringLiteral("README.md"));  // neither a dat nor a folder
    QCOMPARE(form->Model().rowCount(), 40);
    QVERIFY(!ReportShown());
  }
};

}  // namespace vexmoor::shell

VEXMOOR_GUI_TEST_MAIN(vexmoor::shell::TScanWindowTest)
#include "ScanWindow_test.moc"
