// The main window: start-up and settings, loading, the list's columns,
// sorting and colours, the menus, the key preview and the error report.
#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLabel>
#include <QSettings>
#include <QStatusBar>
#include <QTableView>
#include <memory>

#include "catalogue/RomItem.h"
#include "catalogue/TextCompare.h"
#include "platform/ProgramFolder.h"
#include "platform/qt/Settings.h"
#include "shell/GuiTest.h"
#include "shell/HelpLinks.h"
#include "shell/RomListModel.h"
#include "shell/ShownText.h"
#include "shell/StatusPanel.h"
#include "shell/formMain.h"

namespace vexmoor::shell {

using test::ExamplesFolder;

class TMainWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::string startFolder_;

  QString Path(const QString& name) const { return dir_->filePath(name); }
  std::string ProgramFolder() const { return QFile::encodeName(dir_->path()).toStdString() + "/"; }
  // Start-up as moorscan's main does it: the program's folder made current.
  std::unique_ptr<TMainForm> Start() {
    const std::string folder = ChooseProgramFolder(ProgramFolder() + "moorscan");
    SetCurrentFolder(folder);
    auto form = std::make_unique<TMainForm>(folder);
    form->show();
    return form;
  }
  void WriteFile(const QString& name, const QByteArray& bytes) {
    QFile file(Path(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }
  static QString Cell(TMainForm& form, int row, int column) {
    return form.Model().index(row, column).data().toString();
  }
  static void ClickHeader(TMainForm& form, int column) {
    QHeaderView* header = form.ListView()->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, 4);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
  }
  static const TDialogRequest& LastDialog() { return TDialogs::Shown().back(); }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    startFolder_ = CurrentFolder();
    QFile::remove(TSettingsStore().Location());
    TDialogs::ClearShown();
    QLocale::setDefault(QLocale::c());
  }
  void cleanup() {
    SetCurrentFolder(startFolder_);
    QFile::remove(TSettingsStore().Location());
    QCOMPARE(TDialogs::PendingAnswers(), size_t{0});
  }

  void startsOnACleanConfigurationFromAnotherFolder() {
    QVERIFY(QFile::copy(ExamplesFolder() + QStringLiteral("sample-ds.qdat"), Path(QStringLiteral("Quen-NDS.qdat"))));
    QTemporaryDir elsewhere;
    SetCurrentFolder(QFile::encodeName(elsewhere.path()).toStdString());
    auto form = Start();
    QCOMPARE(TSettingsStore().ReadText("ProgramDir"), ProgramFolder());
    QCOMPARE(form->ScanFolderSetting(), QString());
    QVERIFY(form->Action(QStringLiteral("CacheItem"))->isChecked());
    QVERIFY(form->Action(QStringLiteral("TrimmedItem"))->isChecked());
    QVERIFY(form->State().MatchTrimmed);
    // Archive verification unpacks members: off until chosen.
    QVERIFY(!form->Action(QStringLiteral("VerifyItem"))->isChecked());
    QCOMPARE(form->Action(QStringLiteral("VerifyItem"))->text(), QStringLiteral("&Verify Archive Contents"));
    QVERIFY(!form->State().VerifyArchives);
    QVERIFY(form->Action(QStringLiteral("ChecksumItem"))->isChecked());
    QCOMPARE(form->Action(QStringLiteral("ChecksumItem"))->text(), QStringLiteral("Remember &Checksums"));
    QCOMPARE(form->Model().rowCount(), 40);
    QCOMPARE(form->PanelText(0), QStringLiteral(" Found : n/a"));
    QCOMPARE(form->PanelText(1), QStringLiteral(" Missing : n/a"));
    QCOMPARE(form->PanelText(2), QStringLiteral(" Loaded 40 items."));
    QCOMPARE(form->windowTitle(), QStringLiteral("Vexmoor v0.642 - Fast Rom Checklist"));
    QCOMPARE(form->size(), QSize(581, 350));
    for (const char* hidden : {"SaveListItem", "FixDatItem", "CancelItem", "SelectionMenu", "SpecialMenu"})
      QVERIFY2(!form->Action(QString::fromLatin1(hidden))->isVisible(), hidden);
    QVERIFY(QFile::exists(qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/mime/packages/vexmoor.xml")));
  }

  void theCaptionUsesTheUsersDecimalSeparator() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    auto form = Start();
    QCOMPARE(form->windowTitle(), QStringLiteral("Vexmoor v0,642 - Fast Rom Checklist"));
  }

  void settingsAreWrittenBackAtClose() {
    auto form = Start();
    QCOMPARE(form->Model().rowCount(), 0);  // no dat in the program's folder
    QCOMPARE(form->PanelText(2), QString());
    form->Action(QStringLiteral("CacheItem"))->trigger();
    QVERIFY(!form->State().CacheResults);
    form->Action(QStringLiteral("ChecksumItem"))->trigger();
    QVERIFY(!form->State().ChecksumCache);
    form->OpenDat(ExamplesFolder() + QStringLiteral("sample-rc.dat"), TDatLoader::RomCenter);
    QVERIFY(form->close());
    form.reset();
    const TSettingsStore settings;
    // Picked outside the program's folder: kept with its folder.
    QCOMPARE(settings.ReadText("QuenDat"), FileBytes(ExamplesFolder() + QStringLiteral("sample-rc.dat")));
    QCOMPARE(settings.ReadFlag("CacheResults"), false);
    QCOMPARE(settings.ReadFlag("ChecksumCache"), false);
    QCOMPARE(QSettings(settings.Location(), QSettings::IniFormat).value(QStringLiteral("ChecksumCache")).toString(),
             QStringLiteral("0"));
    // Read back at the next start.
    form = Start();
    QVERIFY(!form->Action(QStringLiteral("ChecksumItem"))->isChecked());
    QVERIFY(!form->State().ChecksumCache);
  }

  // moorpurge removed the settings while the window ran: the close must
  // not write them back and undo the clean upgrade.
  void settingsRemovedWhileRunningAreNotWrittenBack() {
    auto form = Start();
    form->Action(QStringLiteral("CacheItem"))->trigger();
    {
      TSettingsStore purge;
      purge.RemoveAll();
      purge.Sync();
    }
    QVERIFY(form->close());
    form.reset();
    const TSettingsStore settings;
    QVERIFY(!settings.Holds("ProgramDir"));
    QVERIFY(!settings.Holds("CacheResults"));
    QVERIFY(!settings.Holds("QuenDat"));
  }

  void matchTrimmedDumpsIsStoredAndReadBack() {
    auto form = Start();
    QAction* item = form->Action(QStringLiteral("TrimmedItem"));
    QCOMPARE(item->text(), QStringLiteral("Match &Trimmed Dumps"));
    QVERIFY(item->isCheckable() && item->isChecked());
    item->trigger();
    QVERIFY(!form->State().MatchTrimmed);
    QVERIFY(form->close());
    form.reset();
    QCOMPARE(QSettings(TSettingsStore().Location(), QSettings::IniFormat).value(QStringLiteral("MatchTrimmed")).toString(),
             QStringLiteral("0"));
    form = Start();
    QVERIFY(!form->Action(QStringLiteral("TrimmedItem"))->isChecked());
    QVERIFY(!form->State().MatchTrimmed);
    form->Action(QStringLiteral("TrimmedItem"))->trigger();
    QVERIFY(form->close());
    form.reset();
    QCOMPARE(TSettingsStore().ReadFlag("MatchTrimmed"), true);
  }

  // A regular file where the settings folder belongs stops every write,
  // root's included: the start reports it and goes on, and so does the close.
  void settingsThatCannotBeSavedAreReportedAtStartAndClose() {
    QVERIFY(QFile::copy(ExamplesFolder() + QStringLiteral("sample-ds.qdat"),
                        Path(QStringLiteral("Quen-NDS.qdat"))));
    const QString location = TSettingsStore().Location();
    const QString folder = QFileInfo(location).absolutePath();
    QDir(folder).removeRecursively();
    QFile blocker(folder);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString report =
        QStringLiteral("Cannot write file \"%1\". The settings were not saved.").arg(location);
    auto form = Start();
    QCOMPARE(TDialogs::Shown().size(), size_t{1});
    QCOMPARE(LastDialog().Text, report);
    QCOMPARE(form->Model().rowCount(), 40);
    QVERIFY(form->close());
    form.reset();
    QVERIFY(QFile::remove(folder));
    QCOMPARE(TDialogs::Shown().size(), size_t{2});
    QCOMPARE(LastDialog().Text, report);
  }

  void aCorruptSettingsFileStartsWithTheDefaults() {
    const QString file = TSettingsStore().Location();
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile junk(file);
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray("\xFF\xFE[[\x01QuenDat\nCacheResults==\x80\n", 30).repeated(50));
    junk.close();
    auto form = Start();
    QVERIFY(form->Action(QStringLiteral("CacheItem"))->isChecked());
    QCOMPARE(form->State().CurrentDat, std::string("Quen-NDS.qdat"));
  }

  void loadsTheSampleDatsWithTheirColumns() {
    auto form = Start();
    QAbstractItemModelTester tester(&form->Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    form->OpenDat(ExamplesFolder() + QStringLiteral("sample-ds.qdat"), TDatLoader::QuenDat);
    QTableView* view = form->ListView();
    QCOMPARE(form->Model().rowCount(), 40);
    QCOMPARE(form->PanelText(2), QStringLiteral(" Loaded 40 items."));
    QCOMPARE(form->State().CurrentDat, std::string("sample-ds.qdat"));
    QCOMPARE(view->columnWidth(0), 21);
    QVERIFY(view->columnWidth(1) >= 40);  // five-digit IDs fit whatever the font
    QVERIFY(view->columnWidth(1) > view->fontMetrics().horizontalAdvance(QStringLiteral("00000")));
    QCOMPARE(view->columnWidth(2), 280);
    QVERIFY(view->columnWidth(3) >= 68);  // more when the font needs it for eight digits
    QVERIFY(view->columnWidth(3) > view->fontMetrics().horizontalAdvance(Cell(*form, 0, 3)));
    QVERIFY(!view->isColumnHidden(0));
    const QStringList captions{"", "ID", "Release Name", "CRC32", "Status"};
    for (int column = 0; column < 5; ++column)
      QCOMPARE(form->Model().headerData(column, Qt::Horizontal).toString(), captions[column]);
    QCOMPARE(form->Model().index(0, 1).data(Qt::TextAlignmentRole).value<Qt::Alignment>(), Qt::AlignCenter);
    // The dat sorts by name; every row shows its entry's texts and flag.
    for (int row = 0; row + 1 < 40; ++row)
      QVERIFY(LocaleCompare(Cell(*form, row, 2).toStdString(), Cell(*form, row + 1, 2).toStdString()) <= 0);
    const TListRow& first = form->List()[0];
    const TRomItem& item = form->State().Catalogue[first.Entry];
    QCOMPARE(Cell(*form, 0, 0), QStringLiteral("  ") + QString::fromStdString(item.Country));
    QCOMPARE(Cell(*form, 0, 3).size(), 8);
    QCOMPARE(form->Model().index(0, 0).data(Qt::DecorationRole).isNull(), FlagIndex(item.Country) < 0);

    form->OpenDat(ExamplesFolder() + QStringLiteral("sample-rc.dat"), TDatLoader::RomCenter);
    QCOMPARE(form->Model().rowCount(), 6);
    QVERIFY(view->isColumnHidden(0));
    QVERIFY(form->Model().index(0, 0).data(Qt::DecorationRole).isNull());
    QCOMPARE(form->PanelText(2), QStringLiteral(" Loaded 6 items."));
    // The last column takes the rest of the list's width.
    const int others = view->columnWidth(1) + view->columnWidth(2) + view->columnWidth(3);
    const int edge = view->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    const int bar = view->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    QCOMPARE(view->columnWidth(4), qMax(0, view->width() - others - bar - 2 * edge - 1));
  }

  void headerClicksSortEveryColumnAsText() {
    WriteFile(QStringLiteral("ids.qdat"),
              "[INFO]\r\nFIELDS=INDEX|CRC32|NAME\r\n[DAT]\r\n9|00000009|Nine\r\n10|0000000A|ten\r\n"
              "08|00000008|Eight\r\n");
    auto form = Start();
    QAbstractItemModelTester tester(&form->Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    form->OpenDat(Path(QStringLiteral("ids.qdat")), TDatLoader::QuenDat);
    const auto ids = [&] { return QStringList{Cell(*form, 0, 1), Cell(*form, 1, 1), Cell(*form, 2, 1)}; };
    QCOMPARE(ids(), (QStringList{"9", "10", "08"}));  // no SORT key: the dat's order
    ClickHeader(*form, 1);
    QCOMPARE(ids(), (QStringList{"08", "10", "9"}));
    ClickHeader(*form, 1);
    QCOMPARE(ids(), (QStringList{"9", "10", "08"}));
    ClickHeader(*form, 1);
    QCOMPARE(ids(), (QStringList{"08", "10", "9"}));
    ClickHeader(*form, 2);
    QCOMPARE(ids(), (QStringList{"08", "9", "10"}));  // Eight, Nine, ten
    QCOMPARE(form->Sort().LastSortColumn, 2);
    QVERIFY(form->Sort().SortAscending);
  }

  void theDatsSortKeyLeavesTheLastClickedColumnAsItWas() {
    auto form = Start();
    const QString dat = ExamplesFolder() + QStringLiteral("sample-ds.qdat");
    form->OpenDat(dat, TDatLoader::QuenDat);
    const QString firstByName = Cell(*form, 0, 2);
    ClickHeader(*form, 2);  // "Release Name" was not clicked before: ascending
    QCOMPARE(Cell(*form, 0, 2), firstByName);
    form->OpenDat(dat, TDatLoader::QuenDat);  // sorted by name again, LastSortColumn still 2
    ClickHeader(*form, 2);
    QVERIFY(!form->Sort().SortAscending);
    QVERIFY(Cell(*form, 0, 2) != firstByName);
  }

  void onlyMissingRowsHaveTheToolTipColour() {
    auto form = Start();
    form->OpenDat(ExamplesFolder() + QStringLiteral("sample-ds.qdat"), TDatLoader::QuenDat);
    const int32_t statuses[] = {StatusMissing, StatusFound, StatusCached, StatusBad};
    for (int row = 0; row < 4; ++row)
      form->State().Catalogue[form->List()[size_t(row)].Entry].Status = statuses[row];
    form->Model().StatusTextsChanged();
    const QPalette palette = QApplication::palette();
    QVERIFY(palette.color(QPalette::ToolTipBase) != palette.color(QPalette::Base));
    for (int row = 0; row < 4; ++row) {
      const QColor expected = row == 0 ? palette.color(QPalette::ToolTipBase) : palette.color(QPalette::Base);
      QCOMPARE(form->Model().index(row, 2).data(Qt::BackgroundRole).value<QColor>(), expected);
      QCOMPARE(form->State().Catalogue[form->List()[size_t(row)].Entry].RowColor, expected.rgb());
      QVERIFY(!form->Model().index(row, 2).data(Qt::ForegroundRole).isValid());
    }
  }

  // X and Wayland desktops take Ctrl+Alt+F11 for text console 11, so the
  // encoder could not be reached on Linux.
  void ctrlShiftF11ShowsTheSpecialMenuTooAndTheEntryShowsIt() {
    auto form = Start();
    QAction* special = form->Action(QStringLiteral("SpecialMenu"));
    QCOMPARE(form->Action(QStringLiteral("DatEncoderItem"))->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+F11")));
    QTest::keyClick(form->ListView(), Qt::Key_F11, Qt::ShiftModifier);
    QVERIFY(!special->isVisible());
    QTest::keyClick(form->ListView(), Qt::Key_F11, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(special->isVisible());
  }

  // A dat picked elsewhere was stored by its bare name and looked for in the
  // program's folder at the next start: the window opened empty, silently.
  void aDatPickedElsewhereIsLoadedAgainAtTheNextStart() {
    QTemporaryDir elsewhere;
    const QString bravo = elsewhere.filePath(QStringLiteral("Bravo.qdat"));
    QVERIFY(QFile::copy(ExamplesFolder() + QStringLiteral("sample-ds.qdat"), bravo));
    auto form = Start();
    TDialogs::Answer(TDialogAnswer::File(bravo, 0));
    form->Action(QStringLiteral("PickItem"))->trigger();
    form.reset();
    QCOMPARE(TSettingsStore().ReadText("QuenDat"), FileBytes(bravo));
    form = Start();
    QCOMPARE(form->Model().rowCount(), 40);
    QCOMPARE(form->State().DatPath, FileBytes(bravo));
    // Inside the program's folder the bare name, as ever.
    QVERIFY(QFile::copy(bravo, Path(QStringLiteral("Local.qdat"))));
    form->OpenDat(Path(QStringLiteral("Local.qdat")), TDatLoader::QuenDat);
    form.reset();
    QCOMPARE(TSettingsStore().ReadText("QuenDat"), std::string("Local.qdat"));
    QVERIFY(TDialogs::Shown().size() == 1);  // the open dialog only
  }

  void aDatNamedInTheSettingsThatIsMissingOrDamagedSaysSoAtStart() {
    {
      TSettingsStore settings;
      settings.WriteText("QuenDat", "/gone/Bravo.qdat");
    }
    auto form = Start();
    QCOMPARE(TDialogs::Shown().size(), size_t{1});
    QVERIFY2(LastDialog().Text.contains(QStringLiteral("\"/gone/Bravo.qdat\"")), qPrintable(LastDialog().Text));
    QCOMPARE(form->windowTitle(), QStringLiteral("Vexmoor v0.642 - Fast Rom Checklist"));
    QVERIFY(form->EmptyHint()->isVisible());
    form.reset();
    // The damaged default dat: once "Loaded 0 items." and every column but Status gone.
    WriteFile(QStringLiteral("Quen-NDS.qdat"), QByteArray("QDAT") + QByteArray(64, '\x33'));
    QFile::remove(TSettingsStore().Location());
    TDialogs::ClearShown();
    form = Start();
    QCOMPARE(TDialogs::Shown().size(), size_t{1});
    QVERIFY2(LastDialog().Text.contains(QStringLiteral("does not decipher")), qPrintable(LastDialog().Text));
    QVERIFY2(LastDialog().Text.contains(QStringLiteral("No dat is loaded")), qPrintable(LastDialog().Text));
    QCOMPARE(form->PanelText(2), QString());
    for (int column = 0; column < 5; ++column) QVERIFY(!form->ListView()->isColumnHidden(column));
    QCOMPARE(form->windowTitle(), QStringLiteral("Vexmoor v0.642 - Fast Rom Checklist"));
    // The first start without any dat says nothing.
    form.reset();
    QFile::remove(Path(QStringLiteral("Quen-NDS.qdat")));
    QFile::remove(TSettingsStore().Location());
    TDialogs::ClearShown();
    form = Start();
    QVERIFY(TDialogs::Shown().empty());
    QVERIFY(form->EmptyHint()->isVisible());
    QCOMPARE(form->EmptyHint()->text(), QStringLiteral("Press F2 to pick a dat, then F3 to scan a folder"));
  }

  void ctrlAltF11AloneShowsTheSpecialMenu() {
    auto form = Start();
    QAction* special = form->Action(QStringLiteral("SpecialMenu"));
    QTest::keyClick(form->ListView(), Qt::Key_F11);
    QVERIFY(!special->isVisible());
    QTest::keyClick(form->ListView(), Qt::Key_F11, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    QVERIFY(!special->isVisible());
    QTest::keyClick(form->ListView(), Qt::Key_F10, Qt::ControlModifier | Qt::AltModifier);
    QVERIFY(!special->isVisible());
    QTest::keyClick(form->ListView(), Qt::Key_F11, Qt::ControlModifier | Qt::AltModifier);
    QVERIFY(special->isVisible());
    QTest::keyClick(form->ListView(), Qt::Key_F11);
    QVERIFY(special->isVisible());  // for the rest of the run
  }

  void theSelectionMenuIsShownWhileRowsAreSelected() {
    auto form = Start();
    form->OpenDat(ExamplesFolder() + QStringLiteral("sample-ds.qdat"), TDatLoader::QuenDat);
    QAction* selection = form->Action(QStringLiteral("SelectionMenu"));
    QVERIFY(!selection->isVisible());
    form->ListView()->selectRow(3);
    QVERIFY(selection->isVisible());
    form->ListView()->clearSelection();
    QVERIFY(!selection->isVisible());
    form->ListView()->selectRow(5);
    form->OpenDat(ExamplesFolder() + QStringLiteral("sample-ds.qdat"), TDatLoader::QuenDat);
    QVERIFY(!selection->isVisible());  // the rebuilt list has no selection
  }

  void aFailedLoadIsReportedWithAFullStopAndTheWindowCarriesOn() {
    auto form = Start();
    form->OpenDat(ExamplesFolder() + QStringLiteral("sample-ds.qdat"), TDatLoader::QuenDat);
    TDialogs::Answer(TDialogAnswer::File(Path(QStringLiteral("missing.qdat")), 0));
    form->Action(QStringLiteral("PickItem"))->trigger();
    QCOMPARE(TDialogs::Shown().size(), size_t{2});
    QCOMPARE(TDialogs::Shown()[0].Kind, TDialogKind::OpenFile);
    QCOMPARE(TDialogs::Shown()[0].Filters,
             (QStringList{"Quen Dat Files (*.qdat)", "Rom Center Dat Files (*.dat)",
                          "Other Dat Files (*.dat *.xml *.zip)"}));
    const TDialogRequest& report = LastDialog();
    QCOMPARE(report.Kind, TDialogKind::Message);
    QCOMPARE(report.Caption, QStringLiteral("Vexmoor"));
    QCOMPARE(report.Icon, QMessageBox::Critical);
    QVERIFY2(report.Text.contains(QStringLiteral("missing.qdat")), qPrintable(report.Text));
    QVERIFY(report.Text.endsWith(QLatin1Char('.')));
    QVERIFY(!report.Text.endsWith(QStringLiteral("..")));
    QCOMPARE(form->Model().rowCount(), 40);  // the catalogue is unchanged
  }

  void aLongPathInThePanelNeitherWidensTheWindowNorShowsWhole() {
    auto form = Start();
    const QSize before = form->size();
    const QList<TStatusPanel*> panels = form->statusBar()->findChildren<TStatusPanel*>();
    QCOMPARE(panels.size(), 3);
    const QString path = QStringLiteral("/roms/") + QStringLiteral("very long folder name/").repeated(40) + QStringLiteral("x.nds");
    panels[2]->SetText(path);
    QCoreApplication::processEvents();
    QCOMPARE(form->size(), before);
    QCOMPARE(form->PanelText(2), path);
    QVERIFY(panels[2]->width() < form->fontMetrics().horizontalAdvance(path));
  }

  void theAboutBoxAndTheIrcPromptUseTheProgramsIcons() {
    auto form = Start();
    form->Action(QStringLiteral("AboutItem"))->trigger();
    QCOMPARE(LastDialog().Caption, QStringLiteral("About Vexmoor - The Quen Team"));
    QCOMPARE(LastDialog().IconId, 100);
    QVERIFY2(LastDialog().Text.contains(QStringLiteral("Version 0.642")), qPrintable(LastDialog().Text));
    TDialogs::Answer(TDialogAnswer::Press(QMessageBox::No));
    form->Action(QStringLiteral("IrcMenu"))->trigger();
    QCOMPARE(LastDialog().Caption, QStringLiteral("Question"));
    QCOMPARE(LastDialog().IconId, 932);
    QVERIFY(LastDialog().Text.startsWith(QStringLiteral("Connect to ")));
    // The addresses are a build-time setting, empty by default: their
    // entries are hidden then, and About stays.
    for (const THelpEntry& entry : kHelpEntries)
      QCOMPARE(form->Action(QString::fromLatin1(entry.MenuName))->isVisible(), entry.Address[0] != '\0');
    QVERIFY(form->Action(QStringLiteral("AboutItem"))->isVisible());
  }
};

}  // namespace vexmoor::shell

VEXMOOR_GUI_TEST_MAIN(vexmoor::shell::TMainWindowTest)
#include "MainWindow_test.moc"
