// The window's second list after a scan: the folder's other files with
// their counts, sorted by a header click, copied, their folder opened
// through the dialog seam, and written beside the lists by "Save Lists...".
#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTableView>

#include "catalogue/TextLines.h"
#include "reports/UnmatchedList.h"
#include "scan/CRC32.h"
#include "shell/GuiTest.h"
#include "shell/OtherFilesModel.h"
#include "shell/OtherFilesView.h"
#include "shell/formMain.h"

namespace vexmoor::shell {

class TOtherFilesTest : public QObject {
  Q_OBJECT

 private:
  static void Write(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
  }
  static QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
  }
  static QString Cell(QTableView* view, int row, int column) {
    return view->model()->index(row, column).data().toString();
  }
  // A native dat of one release and a folder with that release twice, an
  // unknown dump, an archive that is none and a text file that is no dump.
  static void WriteCollection(const test::TWindowFolder& folder) {
    const QByteArray good(0x8400, 'g');
    const uint32_t crc = Crc32(reinterpret_cast<const uint8_t*>(good.data()), size_t(good.size()));
    Write(folder.Path(QStringLiteral("other.dat")),
          "[INFO]\r\nNAME=Other Files\r\nMASK=*.nds\r\n[DAT]\r\n0001|" + QByteArray::fromStdString(HexLong(crc)) +
              "|Good\r\n");
    Write(folder.Path(QStringLiteral("roms/good.nds")), good);
    Write(folder.Path(QStringLiteral("roms/copy/good again.nds")), good);
    Write(folder.Path(QStringLiteral("roms/junk.nds")), QByteArray(0x8400, 'j'));
    Write(folder.Path(QStringLiteral("roms/half.zip")), "half a download");
    Write(folder.Path(QStringLiteral("roms/notes.txt")), "no dump");
  }
  static void PickAndScan(TMainForm& form, const test::TWindowFolder& folder) {
    TDialogs::Answer(TDialogAnswer::File(folder.Path(QStringLiteral("other.dat")), 0));
    form.Action(QStringLiteral("PickItem"))->trigger();
    TDialogs::Answer(TDialogAnswer::Folder(folder.Path(QStringLiteral("roms"))));
    form.Action(QStringLiteral("ScanItem"))->trigger();
  }

 private slots:
  void theSecondListShowsCountsSortsCopiesAndOpensTheFolder() {
    test::TWindowFolder folder;
    WriteCollection(folder);
    auto form = folder.Start();
    TOtherFilesView* other = form->OtherFiles();
    QAbstractItemModelTester tester(&other->Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(form->Tabs()->tabText(1), QStringLiteral("Other Files"));
    PickAndScan(*form, folder);
    QVERIFY(form->FolderReport() != nullptr);
    const TFolderReport& report = *form->FolderReport();
    QCOMPARE(form->Tabs()->tabText(1), QStringLiteral("Other Files (3)"));
    QCOMPARE(other->Counts()->text(),
             QStringLiteral(" Unknown : 1  Duplicate : 1  Wrong size : 0  Checksum mismatch : 0  Bad dump : 0"
                            "  Unreadable : 1"));
    QCOMPARE(other->Model().rowCount(), 3);  // the counts equal the rows
    form->Tabs()->setCurrentIndex(1);

    // A header click sorts by kind, a second click the other way.
    QTableView* view = other->View();
    view->sortByColumn(0, Qt::AscendingOrder);
    QCOMPARE(QStringList({Cell(view, 0, 0), Cell(view, 1, 0), Cell(view, 2, 0)}),
             QStringList({QStringLiteral("Duplicate"), QStringLiteral("Unknown"), QStringLiteral("Unreadable")}));
    view->sortByColumn(0, Qt::DescendingOrder);
    QCOMPARE(Cell(view, 0, 0), QStringLiteral("Unreadable"));

    // Copy takes the selected rows as shown, each as its line in the list file.
    view->selectAll();
    other->ContextMenu()->findChild<QAction*>(QStringLiteral("CopyOtherItem"))->trigger();
    std::vector<const TDumpRecord*> shown;
    auto* sorted = static_cast<QSortFilterProxyModel*>(view->model());
    for (int row = 0; row < 3; ++row)
      shown.push_back(&other->Model().Record(sorted->mapToSource(sorted->index(row, 0)).row()));
    QCOMPARE(QApplication::clipboard()->text(),
             QString::fromStdString(UnmatchedLinesText(report, shown, form->State().Catalogue)));
    QVERIFY(QApplication::clipboard()->text().startsWith(QStringLiteral("Unreadable\t")));
    // Ctrl+C in the list copies the same, also with releases selected in the other tab.
    form->ListView()->selectAll();
    QApplication::clipboard()->clear();
    view->setFocus();
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(),
             QString::fromStdString(UnmatchedLinesText(report, shown, form->State().Catalogue)));

    // Open Containing Folder hands the row's folder to the file manager.
    view->clearSelection();
    view->setCurrentIndex(sorted->index(2, 0));  // the duplicate, in copy/
    QCOMPARE(Cell(view, 2, 0), QStringLiteral("Duplicate"));
    other->ContextMenu()->findChild<QAction*>(QStringLiteral("OpenOtherFolderItem"))->trigger();
    QCOMPARE(TDialogs::Shown().back().Kind, TDialogKind::ShowFolder);
    const QString copy = QFileInfo(Cell(view, 2, 1)).path() + QStringLiteral("/");
    QCOMPARE(TDialogs::Shown().back().StartPath, copy);
    QVERIFY(copy == folder.Path(QStringLiteral("roms/")) || copy == folder.Path(QStringLiteral("roms/copy/")));

    // "Save Lists..." writes the list beside the have and miss lists.
    TDialogs::Answer(TDialogAnswer::Folder(folder.Path(QStringLiteral("roms"))));
    form->Action(QStringLiteral("SaveListItem"))->trigger();
    QCOMPARE(Read(folder.Path(QStringLiteral("roms/Other Files-Unknown.txt"))),
             QByteArray::fromStdString(UnmatchedListText(report, form->State().Catalogue)));
    QVERIFY(QFile::exists(folder.Path(QStringLiteral("roms/Other Files-Have.txt"))));

    // Another dat: the rows named entries of the old one, and go.
    TDialogs::Answer(TDialogAnswer::File(folder.Path(QStringLiteral("other.dat")), 0));
    form->Action(QStringLiteral("PickItem"))->trigger();
    QCOMPARE(other->Model().rowCount(), 0);
    QCOMPARE(form->Tabs()->tabText(1), QStringLiteral("Other Files"));
    QCOMPARE(TDialogs::PendingAnswers(), size_t{0});
  }
};

}  // namespace vexmoor::shell

VEXMOOR_GUI_TEST_MAIN(vexmoor::shell::TOtherFilesTest)
#include "OtherFiles_test.moc"
