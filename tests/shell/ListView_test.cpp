// What a collector expects of the main list: the filter box and status
// filter, the sort arrow, tooltips, the dat's name and size, recent dats and
// a layout that survives a restart.
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QTableView>
#include <memory>

#include "shell/GuiTest.h"
#include "shell/ListFilterBar.h"
#include "shell/RomFilterModel.h"
#include "shell/RomListModel.h"
#include "shell/ShownText.h"
#include "shell/formMain.h"

namespace vexmoor::shell {

using test::ExamplesFolder;

class TListViewTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::TWindowFolder> folder_;

  QString Path(const QString& name) const { return folder_->Path(name); }
  std::unique_ptr<TMainForm> Start() { return folder_->Start(); }
  static QStringList ShownNames(TMainForm& form) {
    QStringList names;
    const QAbstractItemModel* model = form.ListView()->model();
    for (int row = 0; row < model->rowCount(); ++row) names << model->index(row, 2).data().toString();
    return names;
  }
  static void ClickHeader(TMainForm& form, int column) {
    QHeaderView* header = form.ListView()->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, 4));
  }

 private slots:
  void init() { folder_ = std::make_unique<test::TWindowFolder>(); }
  void cleanup() {
    folder_.reset();
    QCOMPARE(TDialogs::PendingAnswers(), size_t{0});
  }

  void typingNarrowsTheListAndTheStatusFilterCombines() {
    auto form = Start();
    form->OpenDat(ExamplesFolder() + QStringLiteral("sample-ds.qdat"), TDatLoader::QuenDat);
    QTest::keyClicks(form->FilterBar()->NameBox(), QStringLiteral("AR"));
    const QStringList comets = ShownNames(*form);
    QVERIFY(!comets.isEmpty());
    QCOMPARE(comets.size(), 14);
    for (const QString& name : comets) QVERIFY2(name.contains(QStringLiteral("ar"), Qt::CaseInsensitive), qPrintable(name));
    // One of them found, one bad: the status filter keeps its class.
    TCatalogue& catalogue = form->State().Catalogue;
    for (size_t at = 0; at < form->List().Count(); ++at) {
      const TListRow& row = form->List()[at];
      if (QString::fromStdString(form->List().RowText(row, kSubItemName)) == comets[0]) catalogue[row.Entry].Status = StatusFound;
      if (QString::fromStdString(form->List().RowText(row, kSubItemName)) == comets.back()) catalogue[row.Entry].Status = StatusBad;
    }
    QComboBox* status = form->FilterBar()->StatusBox();
    status->setCurrentIndex(status->findText(QStringLiteral("Have")));
    QCOMPARE(ShownNames(*form), QStringList{comets[0]});
    status->setCurrentIndex(status->findText(QStringLiteral("Bad")));
    QCOMPARE(ShownNames(*form), QStringList{comets.back()});
    status->setCurrentIndex(status->findText(QStringLiteral("Missing")));
    QCOMPARE(ShownNames(*form).size(), comets.size() - 2);
    // Cleared, every row is back; the counts never follow the filter.
    form->FilterBar()->NameBox()->clear();
    status->setCurrentIndex(status->findText(QStringLiteral("All")));
    QCOMPARE(ShownNames(*form).size(), 40);
    QCOMPARE(form->FilterBar()->CountsLabel()->text(), QStringLiteral("Found 0   Cached 0   Missing 40   Bad 0"));
  }

  void theDatsNameAndSizeTheSortArrowAndTooltipsShow() {
    auto form = Start();
    form->OpenDat(ExamplesFolder() + QStringLiteral("sample-ds.qdat"), TDatLoader::QuenDat);
    QCOMPARE(form->DatLabel()->text(), QStringLiteral("sample-ds.qdat: 40 entries"));
    QHeaderView* header = form->ListView()->horizontalHeader();
    QVERIFY(header->isSortIndicatorShown());
    QCOMPARE(header->sortIndicatorSection(), 2);  // the dat sorts by name
    ClickHeader(*form, 1);
    QCOMPARE(header->sortIndicatorSection(), 1);
    QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
    ClickHeader(*form, 1);
    QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
    const QModelIndex name = form->Model().index(0, 2);
    QCOMPARE(name.data(Qt::ToolTipRole).toString(), name.data().toString());
  }

  void theLayoutAndTheRecentDatsSurviveARestart() {
    const QString first = Path(QStringLiteral("first.qdat"));
    const QString second = Path(QStringLiteral("second.dat"));
    QVERIFY(QFile::copy(ExamplesFolder() + QStringLiteral("sample-ds.qdat"), first));
    QVERIFY(QFile::copy(ExamplesFolder() + QStringLiteral("sample-rc.dat"), second));
    auto form = Start();
    form->OpenDat(first, TDatLoader::QuenDat);
    form->OpenDat(second, TDatLoader::RomCenter);
    form->resize(700, 420);
    form->ListView()->setColumnWidth(2, 333);
    QCOMPARE(form->RecentDats(), (std::vector<std::string>{FileBytes(second), FileBytes(first)}));
    form.reset();
    form = Start();
    QCOMPARE(form->size(), QSize(700, 420));
    QCOMPARE(form->ListView()->columnWidth(2), 333);
    QMenu* recent = form->Action(QStringLiteral("RecentMenu"))->menu();
    QCOMPARE(recent->actions().size(), 2);
    QCOMPARE(recent->actions()[1]->text(), first);
    recent->actions()[1]->trigger();
    QCOMPARE(form->Model().rowCount(), 40);
    QCOMPARE(form->RecentDats().front(), FileBytes(first));
  }
};

}  // namespace vexmoor::shell

VEXMOOR_GUI_TEST_MAIN(vexmoor::shell::TListViewTest)
#include "ListView_test.moc"
