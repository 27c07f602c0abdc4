// "Rebuild Set..." in the real main window: when the entry is enabled, the
// dialog's rules (what a link disables, why OK is refused, the folder
// chooser), a copy and a zipped rebuild through the dialog with the summary
// at the end, and Cancel during a rebuild.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "rebuild/RebuildChoice.h"
#include "shell/GuiTest.h"
#include "shell/formMain.h"
#include "shell/RomListModel.h"
#include "shell/formRebuild.h"

namespace vexmoor::shell {

using test::ExamplesFolder;

class TRebuildWindowTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir roms_;  // the sample rom folder, written once
  std::unique_ptr<test::TWindowFolder> folder_;

  QString Path(const QString& name) const { return folder_->Path(name); }
  QString RomFolder() const { return roms_.filePath(QStringLiteral("roms")); }
  QString Output() const { return Path(QStringLiteral("rebuilt")); }

  std::unique_ptr<TMainForm> Start() { return folder_->Start(); }
  // The sample dat loaded and the sample folder scanned.
  std::unique_ptr<TMainForm> Scanned() {
    auto form = Start();
    const QString dat = Path(QStringLiteral("sample-ds.qdat"));
    form->OpenDat(dat, TDatLoader::QuenDat);
    form->ScanFolder(RomFolder());
    return form;
  }
  static QAction* Entry(TMainForm& form) { return form.Action(QStringLiteral("RebuildItem")); }
  static TRebuildForm& Dialog(QDialog& dialog) {
    auto* form = qobject_cast<TRebuildForm*>(&dialog);
    if (form == nullptr) qFatal("the form asked for is not the rebuild dialog");
    return *form;
  }
  // Answers the next rebuild dialog: `output`, the action of that caption,
  // the files entry `files` (0 loose, 1 deflated zip, 2 stored zip).
  static void Choose(const QString& output, const QString& action = QStringLiteral("Copy"), int files = 0) {
    TDialogs::Answer(TDialogAnswer::Form([=](QDialog& dialog) {
      TRebuildForm& form = Dialog(dialog);
      form.OutputEdit()->setText(output);
      form.ActionBox()->setCurrentIndex(form.ActionBox()->findText(action));
      form.FormBox()->setCurrentIndex(files);
    }));
  }
  static QString LastMessage() {
    for (auto it = TDialogs::Shown().rbegin(); it != TDialogs::Shown().rend(); ++it)
      if (it->Kind == TDialogKind::Message) return it->Text;
    return {};
  }
  static size_t Releases(TMainForm& form) { return RebuildOfferFor(form.State().Catalogue).Releases; }
  QStringList Written(const QString& filter) const {
    return QDir(Output()).entryList({filter}, QDir::Files, QDir::Name);
  }

 private slots:
  void initTestCase() {
    if (!test::WriteSampleRoms(RomFolder())) QSKIP("python3 cannot write the sample rom folder");
  }
  void init() {
    folder_ = std::make_unique<test::TWindowFolder>();
    QVERIFY(QFile::copy(ExamplesFolder() + QStringLiteral("sample-ds.qdat"), Path(QStringLiteral("sample-ds.qdat"))));
  }
  void cleanup() {
    folder_.reset();
    QCOMPARE(TDialogs::PendingAnswers(), size_t{0});
  }

  void theEntryWaitsForAScanThatFoundDumps() {
    auto form = Start();
    QVERIFY(!Entry(*form)->isEnabled());
    form->OpenDat(Path(QStringLiteral("sample-ds.qdat")), TDatLoader::QuenDat);
    QVERIFY(!Entry(*form)->isEnabled());
    bool enabledDuringScan = true;
    QTimer::singleShot(0, [&] { enabledDuringScan = Entry(*form)->isEnabled(); });
    form->ScanFolder(RomFolder());
    QVERIFY(!enabledDuringScan);
    QVERIFY(Entry(*form)->isEnabled());
    // The dat loaded again knows its finds only from the cache file: no
    // place is known, nothing can be rebuilt until the next scan.
    form->OpenDat(Path(QStringLiteral("sample-ds.qdat")), TDatLoader::QuenDat);
    QVERIFY(RebuildOfferFor(form->State().Catalogue).Cached > 0);
    QVERIFY(!Entry(*form)->isEnabled());
  }

  void theDialogFollowsTheCoresRules() {
    auto form = Scanned();
    bool checked = false;
    TDialogs::Answer(TDialogAnswer::Form(
        [&](QDialog& dialog) {
          TRebuildForm& rebuild = Dialog(dialog);
          // No folder yet: OK is refused and the reason shown.
          rebuild.OutputEdit()->clear();
          QVERIFY(!rebuild.OkButton()->isEnabled());
          QCOMPARE(rebuild.ProblemLabel()->text(), QStringLiteral("Choose the folder to rebuild into."));
          // The folder chooser fills the box.
          TDialogs::Answer(TDialogAnswer::Folder(Output()));
          rebuild.findChild<QPushButton*>(QStringLiteral("RebuildBrowse"))->click();
          QCOMPARE(rebuild.OutputEdit()->text(), Output());
          QVERIFY(rebuild.OkButton()->isEnabled());
          // The sample has loose dumps: both links are offered, and a link
          // can be neither zipped nor padded.
          QCOMPARE(rebuild.ActionBox()->count(), 4);
          rebuild.FormBox()->setCurrentIndex(1);
          rebuild.ActionBox()->setCurrentIndex(rebuild.ActionBox()->findText(QStringLiteral("Hard link")));
          QVERIFY(!rebuild.FormBox()->isEnabled());
          QVERIFY(!rebuild.PadBox()->isEnabled());
          QVERIFY(!rebuild.Choice().Options.Zip);
          QVERIFY(rebuild.OkButton()->isEnabled());
          checked = true;
        },
        QMessageBox::Cancel));
    Entry(*form)->trigger();
    QVERIFY(checked);
    QCOMPARE(TDialogs::Shown().front().Caption, QStringLiteral("Rebuild Set"));
    QVERIFY(!QDir(Output()).exists());  // cancelled: nothing written
  }

  void aCopyThroughTheDialogThenTheSameAgain() {
    auto form = Scanned();
    const size_t releases = Releases(*form);
    QVERIFY(releases > 2);
    Choose(Output());
    Entry(*form)->trigger();
    QCOMPARE(size_t(Written(QStringLiteral("*.nds")).size()), releases);
    QVERIFY(LastMessage().startsWith(QStringLiteral(" Written : %1\n").arg(releases)));
    QCOMPARE(form->PanelText(2), QStringLiteral(" Rebuilt: %1 written, 0 already present, 0 skipped, 0 failed.")
                                     .arg(releases));
    QVERIFY(Entry(*form)->isEnabled());
    QVERIFY(!form->ScanRunning());
    // Again: every target is there; the dialog remembers the folder.
    TDialogs::Answer(TDialogAnswer::Form([&](QDialog& dialog) {
      QCOMPARE(Dialog(dialog).OutputEdit()->text(), Output());
    }));
    Entry(*form)->trigger();
    QVERIFY(LastMessage().contains(QStringLiteral(" Already present : %1\n").arg(releases)));
    // The sources are untouched by a copy.
    QVERIFY(QFile::exists(RomFolder() + QStringLiteral("/Lanternfish Harbour.nds")));
  }

  void aZippedRebuildWritesOneZipPerRelease() {
    auto form = Scanned();
    Choose(Output(), QStringLiteral("Copy"), 2);
    Entry(*form)->trigger();
    QCOMPARE(size_t(Written(QStringLiteral("*.zip")).size()), Releases(*form));
    QVERIFY(Written(QStringLiteral("*.nds")).isEmpty());
  }

  // After a move the rows named the places the scan saw, whose files were
  // gone; they name the targets now, and a copy changes no row.
  void aMoveShowsTheReleasesWhereTheyWentTo() {
    const QString roms = Path(QStringLiteral("moved-roms"));
    QVERIFY(test::WriteSampleRoms(roms));  // a folder of its own: the move empties it
    auto form = Start();
    form->OpenDat(Path(QStringLiteral("sample-ds.qdat")), TDatLoader::QuenDat);
    form->ScanFolder(roms);
    const size_t releases = Releases(*form);
    QVERIFY(releases > 2);
    // The Status column of the found rows, as the view is given it.
    const auto statusTexts = [&] {
      QStringList texts;
      for (size_t at = 0; at < form->List().Count(); ++at)
        if (form->State().Catalogue[form->List()[at].Entry].Status == StatusFound)
          texts << form->Model().index(int(at), kSubItemStatus + 1).data().toString();
      return texts;
    };
    const QStringList scanned = statusTexts();
    QCOMPARE(size_t(scanned.size()), releases);
    Choose(Path(QStringLiteral("copied")));
    Entry(*form)->trigger();
    QCOMPARE(statusTexts(), scanned);
    Choose(Output(), QStringLiteral("Move"));
    Entry(*form)->trigger();
    QVERIFY(LastMessage().startsWith(QStringLiteral(" Written : %1\n").arg(releases)));
    const QString folder = QStringLiteral("\"") + QDir::toNativeSeparators(Output()) + QDir::separator() + QStringLiteral("\"");
    for (const QString& text : statusTexts()) QVERIFY2(text.contains(folder), qPrintable(text));
    // The entry stays offered: a second move finds every release in place.
    QVERIFY(Entry(*form)->isEnabled());
    Choose(Output(), QStringLiteral("Move"));
    Entry(*form)->trigger();
    QVERIFY(LastMessage().startsWith(QStringLiteral(" Written : 0\n Already present : %1\n").arg(releases)));
  }

  void cancelStopsTheRebuildAndSaysSo() {
    auto form = Scanned();
    Choose(Output());
    // The first pump of the rebuild presses Cancel, as a user would.
    bool cancelShown = false;
    QTimer::singleShot(0, [&] {
      cancelShown = form->Action(QStringLiteral("CancelItem"))->isVisible();
      form->Action(QStringLiteral("CancelItem"))->trigger();
    });
    Entry(*form)->trigger();
    QVERIFY(cancelShown);
    QVERIFY(form->PanelText(2).startsWith(QStringLiteral(" Rebuild cancelled: 0 written")));
    QVERIFY(LastMessage().startsWith(QStringLiteral("The rebuild was cancelled")));
    QVERIFY(Written(QStringLiteral("*")).isEmpty());
    QVERIFY(!form->Action(QStringLiteral("CancelItem"))->isVisible());
    // The next scan is not cancelled by the flag the rebuild used.
    form->ScanFolder(RomFolder());
    QVERIFY(Entry(*form)->isEnabled());
  }
};

}  // namespace vexmoor::shell

VEXMOOR_GUI_TEST_MAIN(vexmoor::shell::TRebuildWindowTest)
#include "RebuildWindow_test.moc"
