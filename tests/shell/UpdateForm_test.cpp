// The update window against real servers on loopback: nginx serving a
// published folder, and a scripted server for a stalled download.
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>

#include "catalogue/DatLoader.h"
#include "encoder/DatEncoder.h"
#include "platform/Errors.h"
#include "platform/qt/Settings.h"
#include "shell/GuiTest.h"
#include "shell/RomListModel.h"
#include "shell/formMain.h"
#include "updater/NginxServer.h"
#include "updater/ScriptedServer.h"
#include "updater/UpdateSigning.h"
#include "updater/formUpdate.h"

namespace vexmoor::test {

namespace {

std::string ReadAll(const QString& path) {
  std::ifstream file(path.toStdString(), std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

void WriteAll(const QString& path, const std::string& data) {
  QDir().mkpath(QFileInfo(path).path());
  std::ofstream(path.toStdString(), std::ios::binary) << data;
}

// A dat of `entries` rows encoded now into `folder`/Quen.qdat.
void EncodeDat(const QString& folder, int entries) {
  std::string text =
      "[INFO]\r\nNAME=Quen Set\r\nVERSION=3\r\nFIELDS=INDEX|CRC32|NAME|COUNTRY\r\n[DAT]\r\n";
  for (int i = 1; i <= entries; ++i) {
    const std::string n = std::to_string(i);
    text += "000" + n + "|0000000" + n + "|Release " + n + "|E\r\n";
  }
  WriteAll(folder + "/Quen.dat", text);
  TEncodeOptions options;
  options.CreateUpdateKeysFile = false;
  EncodeDats({(folder + "/Quen.dat").toStdString()}, options);
}

// The Size and Sha256 lines that describe `data`.
std::string Verified(std::string_view data) {
  return "Size=" + std::to_string(data.size()) + "\r\nSha256=" + Sha256Hex(data) + "\r\n";
}

// Answers a request for the list or its signature with `list`, signed;
// false for any other request.
bool ServeSignedList(ServerConnection& connection, const std::string& request,
                     const std::string& list) {
  if (request.find("update2.cgi") == std::string::npos) return false;
  const bool signature = request.find("update2.cgi.minisig") != std::string::npos;
  connection.Send("HTTP/1.0 200 OK\r\n\r\n" + (signature ? SignList(list) : list));
  return true;
}

shell::TUpdateForm* OpenUpdateForm() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* form = qobject_cast<shell::TUpdateForm*>(widget);
    if (form != nullptr && form->isVisible()) return form;
  }
  return nullptr;
}

}  // namespace

class UpdateFormTest : public QObject {
  Q_OBJECT

 private:
  QString Path(const QString& name) const { return dir_->filePath(name); }

  // Serves `list` as update/update2.cgi beside the files in `files`.
  void Serve(const std::string& list,
             const std::vector<std::pair<QString, std::string>>& files = {}) {
    WriteAll(Path("www/update/update2.cgi"), list);
    WriteAll(Path("www/update/update2.cgi.minisig"), SignList(list));
    for (const auto& [name, data] : files) WriteAll(Path("www/update/") + name, data);
    nginx_ = std::make_unique<NginxServer>(Path("www").toStdString(), "");
    QVERIFY2(nginx_->Running(), nginx_->ErrorLog().c_str());
  }

  shell::TUpdateFormConfig Config(const std::string& baseUrl) {
    shell::TUpdateFormConfig config;
    config.BaseUrl = baseUrl;
    config.ProgramPath = Path("prog/moorscan").toStdString();
    config.Folder = Path("local").toStdString();
    config.PublicKey = MinisignPublicKeyLine(TestUpdatePublicKey());
    config.Restart = [this](const std::string& downloadedPath) {
      restarts_.push_back(downloadedPath);
    };
    return config;
  }

  // Opens the window and waits for the check to end.
  std::unique_ptr<shell::TUpdateForm> Check(const std::string& baseUrl) {
    return Check(Config(baseUrl));
  }
  std::unique_ptr<shell::TUpdateForm> Check(shell::TUpdateFormConfig config) {
    auto form = std::make_unique<shell::TUpdateForm>(nullptr, std::move(config));
    form->show();
    if (!QTest::qWaitFor(
            [&] { return form->ButtonPanel()->isVisible() || !shell::TDialogs::Shown().empty(); },
            10000))
      qWarning("the check did not end");
    return form;
  }

  QStringList Column(const shell::TUpdateForm& form, int column) {
    QStringList texts;
    const QAbstractItemModel* model = form.ListView()->model();
    for (int row = 0; row < model->rowCount(); ++row)
      texts << model->index(row, column).data().toString();
    return texts;
  }

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<NginxServer> nginx_;
  std::vector<std::string> restarts_;

 private slots:
  void init() {
    if (FindNginx().empty()) QSKIP("nginx is not installed");
    dir_ = std::make_unique<QTemporaryDir>();
    QDir().mkpath(Path("prog"));
    QDir().mkpath(Path("local"));
    restarts_.clear();
    shell::TDialogs::ClearShown();
  }
  void cleanup() { nginx_.reset(); }

  void aNewerDatIsOfferedAndDownloaded() {
    const std::string file(3000, 'x');
    Serve(
        "[Quen.qdat]\r\nName=Quen "
        "Set\r\nFile=Quen.qdat\r\nVersion=30000\r\nTimestamp=46000.5\r\n" + Verified(file) +
        "[Old.qdat]\r\nName=Old\r\nFile=Old.qdat\r\nTimestamp=0.0000000001\r\n"
        "[Midnight.qdat]\r\nName=Midnight\r\nFile=Midnight.qdat\r\nVersion=6430\r\nTimestamp="
        "46000\r\n",
        {{"Quen.qdat", file}});
    auto form = Check(nginx_->Url("/update/"));
    QCOMPARE(form->windowTitle(), QStringLiteral("Update Program"));
    QCOMPARE(Column(*form, 0), (QStringList{"Quen Set", "Midnight"}));
    QCOMPARE(Column(*form, 1), (QStringList{"3", "0.643"}));
    const QStringList dates = Column(*form, 2);
    QVERIFY2(
        dates[0].contains(QStringLiteral("12:00:00")) && !dates[0].contains(QStringLiteral("UTC")),
        qPrintable(dates[0]));
    QVERIFY2(!dates[1].contains(QLatin1Char(':')), qPrintable(dates[1]));
    QCOMPARE(form->ListView()->model()->index(0, 0).data(Qt::CheckStateRole).toInt(),
             int(Qt::Checked));
    QCOMPARE(form->ListView()->model()->headerData(2, Qt::Horizontal).toString(),
             QStringLiteral("Date / Time  (GMT)"));

    form->ListView()->model()->setData(form->ListView()->model()->index(1, 0), Qt::Unchecked,
                                       Qt::CheckStateRole);
    const int64_t totalBefore = form->Updater().Counters().Total;
    form->UpdateButtonClick();
    QCOMPARE(form->result(), 1);
    QVERIFY(!form->isVisible());
    QVERIFY(!form->ButtonPanel()->isEnabled());
    QCOMPARE(ReadAll(Path("local/Quen.qdat")), file);
    QVERIFY(!QFile::exists(Path("local/Midnight.qdat")));
    QCOMPARE(form->Progress()->maximum(), 3000);
    QCOMPARE(form->Progress()->value(), 3000);
    QCOMPARE(form->BytesPanel()->text(), QStringLiteral("Current : 2.93 KB"));
    QCOMPARE(form->Updater().Counters().Total, totalBefore + 3000);
    QVERIFY(shell::TDialogs::Shown().empty());
    QVERIFY(restarts_.empty());
  }

  void nothingNewShowsTheNoticeAndEndsWithMinusOne() {
    for (const std::string list : {"", "; only a comment\r\n\r\n;[Quen.qdat]\r\n"}) {
      shell::TDialogs::ClearShown();
      Serve(list);
      auto form = Check(nginx_->Url("/update/"));
      QCOMPARE(form->result(), -1);
      QVERIFY(!form->isVisible());
      QCOMPARE(shell::TDialogs::Shown().size(), size_t{1});
      const shell::TDialogRequest& notice = shell::TDialogs::Shown()[0];
      QCOMPARE(notice.Text, QStringLiteral("No updates are available at this time."));
      QCOMPARE(notice.Caption, QStringLiteral("Information"));
      QCOMPARE(notice.IconId, 964);
    }
  }

  void aFailedListRequestShowsTheErrorReport() {
    Serve("");
    std::string refused;
    {
      ScriptedServer gone([](ServerConnection&) {});
      refused = gone.Url("/update/");
    }
    for (const std::string& url : {nginx_->Url("/elsewhere/"), refused}) {
      shell::TDialogs::ClearShown();
      auto form = Check(url);
      QCOMPARE(shell::TDialogs::Shown().size(), size_t{1});
      QCOMPARE(shell::TDialogs::Shown()[0].Caption, QStringLiteral("Vexmoor"));
      QCOMPARE(shell::TDialogs::Shown()[0].Icon, QMessageBox::Critical);
      QVERIFY(form->isVisible());
      QVERIFY(!form->ButtonPanel()->isVisible());
      QCOMPARE(form->ListView()->model()->rowCount(), 0);
    }
    QCOMPARE(shell::TDialogs::Shown()[0].Text.left(14), QStringLiteral("can't connect:"));
  }

  void theProgramRowRestartsOnlyWhenChecked() {
    const std::string list =
        "[moorscan]\r\nName=Vexmoor\r\nFile=moorscan\r\nVersion=9999\r\n" + Verified("build") +
        "[Quen.qdat]\r\nName=Quen Set\r\nFile=Quen.qdat\r\nTimestamp=46000.5\r\n" +
        Verified("dat");
    Serve(list, {{"moorscan", "build"}, {"Quen.qdat", "dat"}});
    auto form = Check(nginx_->Url("/update/"));
    QCOMPARE(Column(*form, 0), (QStringList{"Vexmoor", "Quen Set"}));
    form->ListView()->model()->setData(form->ListView()->model()->index(0, 0), Qt::Unchecked,
                                       Qt::CheckStateRole);
    form->UpdateButtonClick();
    QCOMPARE(ReadAll(Path("local/Quen.qdat")), std::string("dat"));
    QVERIFY(!QFile::exists(Path("local/upd-moorscan")));
    QVERIFY(restarts_.empty());

    form = Check(nginx_->Url("/update/"));
    form->UpdateButtonClick();
    QCOMPARE(ReadAll(Path("local/upd-moorscan")), std::string("build"));
    QCOMPARE(restarts_, (std::vector<std::string>{Path("local/upd-moorscan").toStdString()}));
  }

  void aFailedProgramDownloadStartsNothingAndSaysSo() {
    Serve("[moorscan]\r\nName=Vexmoor\r\nFile=moorscan\r\nVersion=9999\r\n" +
          Verified("build"));
    auto form = Check(nginx_->Url("/update/"));
    form->UpdateButtonClick();
    QCOMPARE(form->result(), 1);
    QVERIFY(restarts_.empty());
    QCOMPARE(shell::TDialogs::Shown().size(), size_t{1});
    QVERIFY(shell::TDialogs::Shown()[0].Text.contains(
        QStringLiteral("The download of \"Vexmoor\" (moorscan) failed")));
  }

  void aProgramThatCannotBeReplacedIsNotOffered() {
    Serve("[moorscan]\r\nName=Vexmoor\r\nFile=moorscan\r\nVersion=9999\r\n" +
          Verified("build") +
          "[Quen.qdat]\r\nName=Quen Set\r\nFile=Quen.qdat\r\nTimestamp=46000.5\r\n");
    auto config = Config(nginx_->Url("/update/"));
    config.ProgramPath = Path("absent/moorscan").toStdString();
    shell::TUpdateForm form(nullptr, config);
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(form.ButtonPanel()->isVisible(), 10000);
    QCOMPARE(Column(form, 0), (QStringList{"Quen Set"}));
  }

  void aStalledServerKeepsTheWindowResponsiveAndACloseEndsTheRequest() {
    ScriptedServer server([](ServerConnection& connection) {
      const std::string request = connection.ReadRequest();
      const std::string list = "[Quen.qdat]\r\nFile=Quen.qdat\r\nTimestamp=46000.5\r\n" +
                               Verified(std::string(100000, 'x'));
      if (ServeSignedList(connection, request, list)) return;
      connection.Send("HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\nfirst bytes");
      connection.WaitForClose();
    });
    auto form = Check(server.Url("/update/"));
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);
    QTimer::singleShot(600, form.get(), [&] { form->close(); });
    QElapsedTimer clock;
    clock.start();
    form->UpdateButtonClick();
    QVERIFY(clock.elapsed() < 5000);  // the client's own time limit is 30 s
    QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));  // about 30 when idle
    QCOMPARE(form->BytesPanel()->text(), QStringLiteral("Current : 0.01 KB"));
    QVERIFY(!QFile::exists(Path("local/Quen.qdat")));
    QVERIFY(shell::TDialogs::Shown().empty());
    QVERIFY(restarts_.empty());
  }

  void aTricklingServerFailsTheDownloadAndTheOldDatStays() {
    ScriptedServer server([](ServerConnection& connection) {
      const std::string request = connection.ReadRequest();
      const std::string list = "[Quen.qdat]\r\nName=Quen Set\r\nFile=Quen.qdat\r\n"
                               "Timestamp=46000.5\r\n" + Verified(std::string(100000, 'x'));
      if (ServeSignedList(connection, request, list)) return;
      connection.Send("HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n");
      connection.Trickle(std::string(100000, 'x'), 1, std::chrono::milliseconds(10));
    });
    WriteAll(Path("local/Quen.qdat"), "old dat");
    auto form = Check(server.Url("/update/"));
    form->Updater().Http().SetLowSpeedLimit(1024, std::chrono::milliseconds(300));
    form->UpdateButtonClick();
    QCOMPARE(ReadAll(Path("local/Quen.qdat")), std::string("old dat"));
    QCOMPARE(QDir(Path("local")).entryList(QDir::Files), QStringList{"Quen.qdat"});
    QCOMPARE(shell::TDialogs::Shown().size(), size_t{1});
    QVERIFY2(shell::TDialogs::Shown()[0].Text.contains(
                 QStringLiteral("failed: %1: the transfer is too slow: less than 1 KiB in 300 ms")
                     .arg(QString::fromStdString(server.Url("/update/Quen.qdat")))),
             qPrintable(shell::TDialogs::Shown()[0].Text));
  }

  void aCloseDuringTheCheckEndsItQuietly() {
    ScriptedServer server([](ServerConnection& connection) {
      connection.ReadRequest();
      connection.WaitForClose();
    });
    shell::TUpdateForm form(nullptr, Config(server.Url("/update/")));
    form.show();
    QTimer::singleShot(600, &form, [&] { form.close(); });
    QTRY_VERIFY_WITH_TIMEOUT(!form.isVisible(), 5000);
    QTest::qWait(100);
    QVERIFY(form.Updater().Cancelled());
    QCOMPARE(form.result(), 0);
    QVERIFY(shell::TDialogs::Shown().empty());
  }

  void f5ReloadsTheCurrentDatAfterAnUpdate() {
    EncodeDat(Path("local"), 1);
    EncodeDat(Path("www/update"), 2);
    // The served container is newer than the local one.
    const std::string served = ReadAll(Path("www/update/Quen.qdat"));
    Serve("[Quen.qdat]\r\nName=Quen Set\r\nFile=Quen.qdat\r\nTimestamp=99999\r\n" +
          Verified(served));
    {
      TSettingsStore settings;
      settings.WriteText("UpdateURL", nginx_->Url("/update/"));
      settings.WriteText("UpdatePublicKey", MinisignPublicKeyLine(TestUpdatePublicKey()));
    }
    QDir::setCurrent(Path("local"));
    shell::TMainForm main(Path("local").toStdString());
    main.OpenDat(Path("local/Quen.qdat"), TDatLoader::QuenDat);
    QCOMPARE(main.Model().rowCount(), 1);
    QTimer presser;
    connect(&presser, &QTimer::timeout, [&] {
      shell::TUpdateForm* form = OpenUpdateForm();
      if (form != nullptr && form->ButtonPanel()->isVisible() && form->ButtonPanel()->isEnabled())
        form->UpdateButtonClick();
    });
    presser.start(50);
    main.UpdateItemClick();
    presser.stop();
    QCOMPARE(ReadAll(Path("local/Quen.qdat")), served);
    QCOMPARE(main.Model().rowCount(), 2);
    // Refused while a scan runs: the reload would replace its catalogue.
    main.State().ScanRunning = true;
    QVERIFY_THROWS_EXCEPTION(Error, main.UpdateItemClick());
    QVERIFY(OpenUpdateForm() == nullptr);
    main.State().ScanRunning = false;
  }
  // Each list the window refuses offers nothing and says why in one report.
  void aRefusedListOffersNothingAndSaysWhy() {
    const std::string list = "[Quen.qdat]\r\nName=Quen\r\nFile=Quen.qdat\r\nTimestamp=99999\r\n" +
                             Verified("dat");
    Serve(list, {{"Quen.qdat", "dat"}});
    const std::string url = nginx_->Url("/update/");
    auto expectRefusal = [&](shell::TUpdateFormConfig config, const QString& part) {
      shell::TDialogs::ClearShown();
      auto form = Check(std::move(config));
      QCOMPARE(shell::TDialogs::Shown().size(), size_t{1});
      QVERIFY2(shell::TDialogs::Shown()[0].Text.contains(part),
               qPrintable(shell::TDialogs::Shown()[0].Text));
      QCOMPARE(form->ListView()->model()->rowCount(), 0);
      QVERIFY(!form->ButtonPanel()->isVisible());
    };
    auto noKey = Config(url);
    noKey.PublicKey = "";
    expectRefusal(noKey, QStringLiteral("UpdatePublicKey setting"));
    auto badKey = Config(url);
    badKey.PublicKey = "RWQ not a key";
    expectRefusal(badKey, QStringLiteral("UpdatePublicKey setting holds no usable key"));
    auto stranger = Config(url);
    stranger.PublicKey = MinisignPublicKeyLine(MinisignPublicKeyOf(MinisignGenerateKey()));
    expectRefusal(stranger, QStringLiteral("which is not trusted here"));
    WriteAll(Path("www/update/update2.cgi"), list + "[vexmoor]\r\nFile=vexmoor\r\n");
    expectRefusal(Config(url), QStringLiteral("changed after signing"));
    QFile::remove(Path("www/update/update2.cgi.minisig"));
    expectRefusal(Config(url), QStringLiteral("is not signed"));
    QVERIFY(!QFile::exists(Path("local/Quen.qdat")));
  }

  // Regression: an unsigned list that offered a shell script as the new
  // build had it run after one press of Return.
  void returnOnAnUnsignedListRunsNothing() {
    Serve("");
    WriteAll(Path("www/update/update2.cgi"),
             "[moorscan]\r\nName=Vexmoor\r\nFile=moorscan\r\nVersion=9999\r\n" +
                 Verified("#!/bin/sh\n"));
    WriteAll(Path("www/update/moorscan"), "#!/bin/sh\n");
    auto form = Check(nginx_->Url("/update/"));
    QVERIFY(shell::TDialogs::Shown()[0].Text.contains(QStringLiteral("changed after signing")));
    QTest::keyClick(form.get(), Qt::Key_Return);
    QTest::qWait(100);
    QVERIFY(!QFile::exists(Path("local/upd-moorscan")));
    QVERIFY(restarts_.empty());
  }

  // Refused entries and a file changed after signing are named; the rest
  // go on, and the changed file keeps its old bytes.
  void refusedDownloadsAreNamedAndTheRestGoOn() {
    Serve("[moorpurge]\r\nName=Purge\r\nFile=moorpurge\r\nTimestamp=99999\r\n" +
              Verified("evil") +
              "[Changed.qdat]\r\nName=Changed\r\nFile=Changed.qdat\r\nTimestamp=99999\r\n" +
              Verified("signed bytes") +
              "[Good.qdat]\r\nName=Good\r\nFile=Good.qdat\r\nTimestamp=99999\r\n" +
              Verified("good"),
          {{"moorpurge", "evil"}, {"Changed.qdat", "other bytes!"}, {"Good.qdat", "good"}});
    WriteAll(Path("local/Changed.qdat"), "old");
    auto form = Check(nginx_->Url("/update/"));
    QCOMPARE(form->ListView()->model()->rowCount(), 3);
    form->UpdateButtonClick();
    QCOMPARE(shell::TDialogs::Shown().size(), size_t{1});
    const QString text = shell::TDialogs::Shown()[0].Text;
    QVERIFY2(text.contains(QStringLiteral("\"Purge\" (moorpurge) failed: refusing to download")),
             qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("(Changed.qdat) failed: its SHA-256")), qPrintable(text));
    QVERIFY(!QFile::exists(Path("local/moorpurge")));
    QCOMPARE(ReadAll(Path("local/Changed.qdat")), std::string("old"));
    QCOMPARE(ReadAll(Path("local/Good.qdat")), std::string("good"));
  }

  void messageBoxesShowOutsideTextAsPlainText() {
    const auto box = shell::TDialogs::MessageBox(
        nullptr, {QStringLiteral("<h1>Quen</h1><a href=\"x\">x</a>"), QStringLiteral("Vexmoor")});
    QCOMPARE(box->textFormat(), Qt::PlainText);
  }
};

}  // namespace vexmoor::test

VEXMOOR_GUI_TEST_MAIN(vexmoor::test::UpdateFormTest)
#include "UpdateForm_test.moc"
