// moorpurge's run with the answers given by the test: what it deletes, what
// it keeps and what it starts.
#include "purge/Purge.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

#include "platform/qt/Settings.h"
#include "purge/PurgeSettings.h"

namespace vexmoor::purge {

class PurgeTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir config_;
  QTemporaryDir root_;
  QString program_;  // the auditor's folder, named in ProgramDir
  QString other_;    // the folder moorpurge is started in

  static void Touch(const QString& path, const QByteArray& data = "x") {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
  }
  static QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
  }
  // Written through the auditor's own settings store, so the tests also
  // prove that moorpurge's few lines find the auditor's key.
  static void WriteSettings(const QString& programDir, const QString& installDir = QString()) {
    TSettingsStore settings;
    settings.RemoveAll();
    settings.WriteText("ProgramDir", programDir.toStdString());
    if (!installDir.isNull()) settings.WriteText("InstallDir", installDir.toStdString());
    settings.WriteText("ScanFolder", "/roms");
  }
  static QString StoredValue(const QString& name) { return TPurgeSettings().Value(name); }
  // A stand-in auditor that notes its folder and arguments.
  static void PlaceAuditor(const QString& folder) {
    const QString path = QDir(folder).filePath(QStringLiteral("moorscan"));
    Touch(path, "#!/bin/sh\necho \"$PWD|$*\" > started.txt\n");
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
  }

 private slots:
  void initTestCase() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config_.path());
  }

  void init() {
    for (const QString& name : {QStringLiteral("Vexmoor beta 'x'"), QStringLiteral("elsewhere")}) {
      QDir(root_.path()).mkpath(name);
    }
    program_ = root_.filePath(QStringLiteral("Vexmoor beta 'x'"));
    other_ = root_.filePath(QStringLiteral("elsewhere"));
    for (const QString& folder : {program_, other_}) {
      Touch(folder + QStringLiteral("/Quen-NDS.qdat"));
      Touch(folder + QStringLiteral("/notes.txt"));
      Touch(folder + QStringLiteral("/old.qdat.bak"));
      QDir(folder).mkpath(QStringLiteral("kept.qdat"));
    }
    Touch(program_ + QStringLiteral("/.hidden.qdat"));
    WriteSettings(program_ + QLatin1Char('/'));
  }

  void cleanup() {
    QDir(program_).removeRecursively();
    QDir(other_).removeRecursively();
  }

  void noLeavesSettingsAndFilesAlone() {
    TPurgeQuestions::Script({false});
    TPurgeSettings settings;
    const TPurgeResult result = RunPurge(settings, other_);
    QVERIFY(!result.Confirmed);
    QCOMPARE(TPurgeQuestions::Asked(), QStringList{ConfirmQuestion()});
    QCOMPARE(StoredValue(QStringLiteral("ScanFolder")), QStringLiteral("/roms"));
    QVERIFY(QFile::exists(program_ + QStringLiteral("/Quen-NDS.qdat")));
    QVERIFY(QFile::exists(other_ + QStringLiteral("/Quen-NDS.qdat")));
  }

  void yesDeletesTheKeyAndOnlyTheDatFiles() {
    TPurgeQuestions::Script({true, false});
    TPurgeSettings settings;
    const TPurgeResult result = RunPurge(settings, other_);
    QCOMPARE(TPurgeQuestions::Asked(),
             (QStringList{ConfirmQuestion(), QString::fromLatin1(kLoadText)}));
    QCOMPARE(result.Folder, program_ + QLatin1Char('/'));
    QCOMPARE(StoredValue(QStringLiteral("ProgramDir")), QString());
    QCOMPARE(StoredValue(QStringLiteral("ScanFolder")), QString());
    QCOMPARE(TSettingsStore().ReadText("ScanFolder"), std::string());
    QCOMPARE(Entries(program_), (QStringList{QStringLiteral("kept.qdat"), QStringLiteral("notes.txt"),
                                             QStringLiteral("old.qdat.bak")}));
    QCOMPARE(Entries(other_).size(), 4);
    QVERIFY(!result.Started);
    QVERIFY(result.Failures.isEmpty());
  }

  // A self-hosted update service and its key survive, and the question says so.
  void theUpdateServiceSettingsAreKept() {
    {
      TSettingsStore settings;
      settings.WriteText("UpdateURL", "https://dats.example/update/");
      settings.WriteText("UpdatePublicKey", "RWQkey");
    }
    TPurgeQuestions::Script({true, false});
    TPurgeSettings settings;
    RunPurge(settings, other_);
    QVERIFY(TPurgeQuestions::Asked()[0].contains(QStringLiteral("UpdateURL and UpdatePublicKey")));
    QCOMPARE(StoredValue(QStringLiteral("UpdateURL")), QStringLiteral("https://dats.example/update/"));
    QCOMPARE(StoredValue(QStringLiteral("UpdatePublicKey")), QStringLiteral("RWQkey"));
    QCOMPARE(StoredValue(QStringLiteral("ScanFolder")), QString());
  }

  // A running auditor writes its settings back at its close: the purge
  // refuses while one runs from the folder, and names it.
  void aRunningAuditorInTheFolderIsRefused() {
    const QString program = QDir(program_).filePath(QStringLiteral("moorscan"));
    QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), program));
    QProcess running;
    running.start(program, {QStringLiteral("30")});
    QVERIFY(running.waitForStarted());
    TPurgeQuestions::Script({true, false});
    TPurgeSettings settings;
    const TPurgeResult result = RunPurge(settings, other_);
    const qint64 pid = running.processId();
    running.kill();
    running.waitForFinished();
    QVERIFY(!result.Confirmed);
    QCOMPARE(TPurgeQuestions::Asked().size(), 1);
    QVERIFY2(TPurgeQuestions::Asked()[0].contains(QStringLiteral("Vexmoor is running from")),
             qPrintable(TPurgeQuestions::Asked()[0]));
    QVERIFY(TPurgeQuestions::Asked()[0].contains(QStringLiteral("process %1").arg(pid)));
    QCOMPARE(result.Failures.size(), 1);
    QCOMPARE(StoredValue(QStringLiteral("ScanFolder")), QStringLiteral("/roms"));
    QVERIFY(QFile::exists(program_ + QStringLiteral("/Quen-NDS.qdat")));
    QCOMPARE(RunningAuditor(program_), QString());  // ended
  }

  // A FIFO where the key's file lies would hold the purge for ever if it
  // were read: the key counts as unreadable, the current folder's dats go,
  // and the FIFO that could not be deleted is named.
  void aFifoInPlaceOfTheKeyIsNamedNotRead() {
    const QString key = config_.filePath(QStringLiteral("SOFTWARE/Vexmoor.conf"));
    QVERIFY(QFile::remove(key));
    QVERIFY(::mkfifo(QFile::encodeName(key).constData(), 0600) == 0);
    TPurgeQuestions::Script({true, false});
    TPurgeSettings settings;
    const TPurgeResult result = RunPurge(settings, other_);
    QCOMPARE(result.Folder, other_);
    QVERIFY(!QFile::exists(other_ + QStringLiteral("/Quen-NDS.qdat")));
    QVERIFY(QFile::exists(program_ + QStringLiteral("/Quen-NDS.qdat")));
    QCOMPARE(result.Failures.size(), 1);
    QVERIFY(result.Failures[0].contains(key));
    QVERIFY(QFile::remove(key));
  }

  void inTheProgramFolderTheSettingsNameNoFolder() {
    PlaceAuditor(other_);
    TPurgeQuestions::Script({true, true});
    TPurgeSettings settings;
    const TPurgeResult result = RunPurge(settings, other_);
    QCOMPARE(result.Folder, other_);
    QVERIFY(!QFile::exists(other_ + QStringLiteral("/Quen-NDS.qdat")));
    QVERIFY(QFile::exists(program_ + QStringLiteral("/Quen-NDS.qdat")));
    QCOMPARE(StoredValue(QStringLiteral("ProgramDir")), QString());
    QVERIFY(result.Started);
    QFile started(other_ + QStringLiteral("/started.txt"));
    QTRY_VERIFY_WITH_TIMEOUT(started.size() > 0, 10000);
    QVERIFY(started.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(started.readAll()).trimmed(), other_ + QStringLiteral("|-upgrade"));
  }

  void theAuditorIsStartedInTheFolderTheSettingsName() {
    PlaceAuditor(program_);
    TPurgeQuestions::Script({true, true});
    TPurgeSettings settings;
    QVERIFY(RunPurge(settings, other_).Started);
    QFile started(program_ + QStringLiteral("/started.txt"));
    QTRY_VERIFY_WITH_TIMEOUT(started.size() > 0, 10000);
    QVERIFY(started.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(started.readAll()).trimmed(), program_ + QStringLiteral("|-upgrade"));
  }

  void blankProgramDirFallsBackToInstallDir() {
    WriteSettings(QStringLiteral("   "), program_);
    QCOMPARE(PurgeFolder(other_, TPurgeSettings()), program_ + QLatin1Char('/'));
    WriteSettings(QStringLiteral(" "), QStringLiteral(" "));
    QCOMPARE(PurgeFolder(other_, TPurgeSettings()), QString());
  }

  // A folder that no longer exists has no dats to delete; the purge must not
  // take the current folder's instead.
  void aMissingFolderDeletesNothingElsewhere() {
    WriteSettings(root_.filePath(QStringLiteral("gone")));
    TPurgeQuestions::Script({true, false});
    TPurgeSettings settings;
    const TPurgeResult result = RunPurge(settings, other_);
    QVERIFY(result.Deleted.isEmpty());
    QVERIFY(QFile::exists(other_ + QStringLiteral("/Quen-NDS.qdat")));
    QCOMPARE(StoredValue(QStringLiteral("ProgramDir")), QString());
  }
};

}  // namespace vexmoor::purge

QTEST_MAIN(vexmoor::purge::PurgeTest)
#include "Purge_test.moc"
