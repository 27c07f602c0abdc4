// The dat encoder window, driven as a user would: files dropped on it, the
// two options, "&Encode", closing and reopening.
#include <QCheckBox>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <QUrl>
#include <cmath>
#include <fstream>
#include <sstream>

#include "catalogue/DatContainer.h"
#include "catalogue/DatHeader.h"
#include "catalogue/DatLoader.h"
#include "catalogue/TextLines.h"
#include "encoder/formEncoder.h"
#include "shell/GuiTest.h"
#include "shell/RomListModel.h"
#include "shell/formMain.h"

namespace vexmoor::test {

namespace {

// Sorted by NAME, zulu.dat comes first and alpha.dat second.
constexpr const char* kZulu =
    "[INFO]\r\nNAME=Alpha "
    "Set\r\nVERSION=1.0\r\nTIMESTAMP=40000.5\r\nFIELDS=INDEX|CRC32|NAME|COUNTRY\r\n"
    "[DAT]\r\n0001|0A1B2C3D|Alpha One|E\r\n0002|11111111|Alpha Two|U\r\n";
constexpr const char* kAlpha =
    "[INFO]\nNAME=Beta "
    "Set\nVERSION=7\nTIMESTAMP=40001\nFIELDS=INDEX|CRC32|NAME|COUNTRY\n\n[DAT]\n0001|22222222|Beta "
    "One|E\n";

std::string ReadAll(const QString& path) {
  std::ifstream file(path.toStdString(), std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

void WriteAll(const QString& path, const std::string& data) {
  std::ofstream(path.toStdString(), std::ios::binary) << data;
}

std::string InfoValue(const QString& path, const char* key) {
  return TDatHeader(SplitLines(ReadAll(path))).ReadString("INFO", key, "");
}

// A drop of `paths` as the desktop delivers it: enter, then drop.
void Drop(QWidget& window, const QStringList& paths) {
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& path : paths) urls.append(QUrl::fromLocalFile(path));
  data.setUrls(urls);
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &drop);
}

QStringList Column(const shell::TEncoderForm& form, int column) {
  QStringList texts;
  const QAbstractItemModel* model = form.ListView()->model();
  for (int row = 0; row < model->rowCount(); ++row)
    texts << model->index(row, column).data().toString();
  return texts;
}

}  // namespace

class EncoderFormTest : public QObject {
  Q_OBJECT

 private:
  QString Path(const QString& name) const { return dir_->filePath(name); }
  QString Write(const QString& name, const std::string& data) const {
    QDir().mkpath(QFileInfo(Path(name)).path());
    WriteAll(Path(name), data);
    return Path(name);
  }
  // Drops zulu.dat and alpha.dat from one folder.
  void DropBoth(shell::TEncoderForm& form) {
    Drop(form,
         {Write(QStringLiteral("zulu.dat"), kZulu), Write(QStringLiteral("alpha.dat"), kAlpha)});
  }

  std::unique_ptr<QTemporaryDir> dir_;

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    shell::TDialogs::ClearShown();
  }

  void theWindowAsItOpens() {
    shell::TEncoderForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Quen Dat Encoder"));
    QVERIFY(form.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!(form.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(form.TimeCheckBox()->isChecked());
    QVERIFY(form.UpdateCheckBox()->isChecked());
    QVERIFY(form.EncodeButton()->isDefault());
    QVERIFY(!form.isVisible());
    form.show();
    QCOMPARE(form.ListView()->model()->headerData(1, Qt::Horizontal).toString(),
             QStringLiteral("Status"));
    QCOMPARE(form.ListView()->columnWidth(0), 125);
    const int fitted = form.ListView()->columnWidth(2);
    form.resize(form.width() + 100, form.height());
    QTRY_COMPARE(form.ListView()->columnWidth(2), fitted + 100);
  }

  void aDropListsTheFilesSortedByName() {
    shell::TEncoderForm form;
    DropBoth(form);
    QCOMPARE(Column(form, 0), (QStringList{"Alpha Set", "Beta Set"}));
    QCOMPARE(Column(form, 1), (QStringList{"Loaded", "Loaded"}));
    QCOMPARE(Column(form, 2), (QStringList{Path("zulu.dat"), Path("alpha.dat")}));
    // Every dropped file gets a row, named by its file name without NAME;
    // a new drop replaces the rows, and long paths stay whole.
    const QString deep = QString(QStringLiteral("folder-of-forty-characters-in-its-name/")).repeated(7);
    const QString notes = Write(deep + QStringLiteral("notes.txt"), "no dat at all");
    QVERIFY(notes.size() > 300);
    Drop(form, {notes});
    QCOMPARE(Column(form, 0), (QStringList{"notes.txt"}));
    QCOMPARE(Column(form, 2), (QStringList{notes}));
  }

  // A dropped dump and notes.txt were once both "Encoded": the dump got
  // [INFO] and TIMESTAMP= appended (its checksum changed), and rom.qdat and
  // update_keys.txt were written beside it.
  void onlyDatTextIsEncodedTheRestSaysWhyAndIsNeverTouched() {
    shell::TEncoderForm form;
    const std::string dump("\x24\xFF\xAE\x51\x69\x9A\xA2\x21\0\0\0\0ROM", 15);
    const QString rom = Write(QStringLiteral("rom.nds"), dump);
    const QString notes = Write(QStringLiteral("notes.txt"), "buy the Japanese box\n");
    const QString dat = Write(QStringLiteral("zulu.dat"), kZulu);
    Drop(form, {rom, notes, dat});
    QCOMPARE(Column(form, 0), (QStringList{"Alpha Set", "notes.txt", "rom.nds"}));
    QCOMPARE(Column(form, 1), (QStringList{"Loaded", "Skipped: not a dat: no [INFO] or [DAT] section",
                                           "Skipped: not a dat: binary data (NUL bytes)"}));
    form.EncodeButtonClick();
    QCOMPARE(Column(form, 1)[0], QStringLiteral("Encoded"));
    QVERIFY(Column(form, 1)[2].startsWith(QStringLiteral("Skipped: ")));
    QCOMPARE(ReadAll(rom), dump);
    QCOMPARE(ReadAll(notes), std::string("buy the Japanese box\n"));
    QVERIFY(!QFile::exists(Path("rom.qdat")));
    QVERIFY(!QFile::exists(Path("notes.qdat")));
    QVERIFY(QFile::exists(Path("zulu.qdat")));
    QVERIFY(shell::TDialogs::Shown().empty());
    // Nothing but skipped rows: nothing at all is written.
    QFile::remove(Path("zulu.qdat"));
    QFile::remove(Path("update_keys.txt"));
    Drop(form, {rom, notes});
    form.EncodeButtonClick();
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), (QStringList{"notes.txt", "rom.nds", "zulu.dat"}));
  }

  void encodeWritesContainersKeysAndTimeStamps() {
    shell::TEncoderForm form;
    DropBoth(form);
    form.EncodeButtonClick();
    QCOMPARE(Column(form, 1), (QStringList{"Encoded", "Encoded"}));
    QVERIFY(shell::TDialogs::Shown().empty());
    const std::string stamp = InfoValue(Path("zulu.dat"), "TIMESTAMP");
    QVERIFY(stamp != "40000.5");
    QCOMPARE(InfoValue(Path("alpha.dat"), "TIMESTAMP"), stamp);
    QVERIFY(std::abs(ReadDatTimeStamp(Path("zulu.qdat").toStdString()) - std::stod(stamp)) < 1e-9);
    const std::string keys = ReadAll(Path("update_keys.txt"));
    const std::vector<std::string_view> lines = SplitLines(keys);
    QCOMPARE(lines.size(), size_t{3});
    QCOMPARE(std::string(lines[0]), "zulu.qdat|1.0|" + stamp + "|Alpha Set|");
    QCOMPARE(std::string(lines[1]), "alpha.qdat|7|" + stamp + "|Beta Set|");
    QVERIFY(lines[2].ends_with("|Vexmoor|"));
    // The containers load in the main window.
    shell::TMainForm main(dir_->path().toStdString());
    main.OpenDat(Path("zulu.qdat"), TDatLoader::QuenDat);
    QCOMPARE(main.Model().rowCount(), 2);
    main.OpenDat(Path("alpha.qdat"), TDatLoader::QuenDat);
    QCOMPARE(main.Model().rowCount(), 1);
  }

  void clearedOptionsLeaveSourcesAndKeysAlone() {
    shell::TEncoderForm form;
    DropBoth(form);
    form.TimeCheckBox()->setChecked(false);
    form.EncodeButtonClick();
    QCOMPARE(ReadAll(Path("zulu.dat")), std::string(kZulu));
    QCOMPARE(ReadAll(Path("alpha.dat")), std::string(kAlpha));
    QVERIFY(ReadAll(Path("update_keys.txt")).starts_with("zulu.qdat|1.0|40000.5|Alpha Set|\r\n"));

    QFile::remove(Path("update_keys.txt"));
    QFile::remove(Path("zulu.qdat"));
    form.UpdateCheckBox()->setChecked(false);
    form.EncodeButtonClick();
    QVERIFY(QFile::exists(Path("zulu.qdat")));
    QVERIFY(!QFile::exists(Path("update_keys.txt")));
  }

  void aDropFromTwoFoldersPutsTheKeysBesideTheTopRow() {
    shell::TEncoderForm form;
    Drop(form, {Write(QStringLiteral("one/zulu.dat"), kAlpha),
                Write(QStringLiteral("two/alpha.dat"), kZulu)});
    QCOMPARE(Column(form, 0), (QStringList{"Alpha Set", "Beta Set"}));
    form.EncodeButtonClick();
    QVERIFY(QFile::exists(Path("two/update_keys.txt")));
    QVERIFY(!QFile::exists(Path("one/update_keys.txt")));
  }

  void anUnwritableOutputStopsAtItsRow() {
    shell::TEncoderForm form;
    Drop(form, {Write(QStringLiteral("a.dat"), "[INFO]\nNAME=A\n"),
                Write(QStringLiteral("b.dat"), "[INFO]\nNAME=B\n"),
                Write(QStringLiteral("c.dat"), "[INFO]\nNAME=C\n")});
    QVERIFY(QDir().mkpath(Path("b.qdat/inside")));  // a folder where b's container goes
    form.EncodeButtonClick();
    QCOMPARE(Column(form, 1), (QStringList{"Encoded", "Loaded", "Loaded"}));
    QVERIFY(QFile::exists(Path("a.qdat")));
    QVERIFY(!QFile::exists(Path("c.qdat")));
    QVERIFY(!QFile::exists(Path("update_keys.txt")));
    QCOMPARE(shell::TDialogs::Shown().size(), size_t{1});
    QCOMPARE(shell::TDialogs::Shown()[0].Caption, QStringLiteral("Vexmoor"));
    QCOMPARE(shell::TDialogs::Shown()[0].Icon, QMessageBox::Critical);
    QVERIFY(QApplication::overrideCursor() == nullptr);
  }

  void anEmptyListWritesNothing() {
    shell::TEncoderForm form;
    form.EncodeButtonClick();
    QVERIFY(QDir(dir_->path()).isEmpty());
    QVERIFY(shell::TDialogs::Shown().empty());
  }

  void closingOnlyHidesAndKeepsTheRows() {
    QWidget main;
    main.setGeometry(100, 100, 581, 350);
    shell::TEncoderForm form(&main);
    DropBoth(form);
    form.UpdateCheckBox()->setChecked(false);
    form.show();
    QCOMPARE(form.frameGeometry().center(), main.frameGeometry().center());
    form.close();
    QVERIFY(!form.isVisible());
    form.show();
    QCOMPARE(Column(form, 0), (QStringList{"Alpha Set", "Beta Set"}));
    QVERIFY(!form.UpdateCheckBox()->isChecked());
  }
};

}  // namespace vexmoor::test

VEXMOOR_GUI_TEST_MAIN(vexmoor::test::EncoderFormTest)
#include "EncoderForm_test.moc"
