// One auditor per program folder: the lock every moorscan holds, and what
// "-upgrade" does while another moorscan of its folder runs.
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "platform/qt/InstanceLock.h"
#include "shell/GuiTest.h"

namespace vexmoor {

class TInstanceLockTest : public QObject {
  Q_OBJECT

 private slots:
  void oneHolderPerFolder() {
    QTemporaryDir one, other;
    {
      const TInstanceLock first(one.path());
      QVERIFY(first.Held());
      QVERIFY(!TInstanceLock(one.path() + QStringLiteral("/")).Held());
      QVERIFY(TInstanceLock(other.path()).Held());
    }
    QVERIFY(TInstanceLock(one.path()).Held());  // let go with its holder
  }

  // moorpurge starts "moorscan -upgrade" in the program's folder; with the
  // auditor already running there, a second window once opened on top.
  void upgradeWhileTheFoldersAuditorRunsOpensNoSecondWindow() {
    const QString program = QStringLiteral(VEXMOOR_MOORSCAN);
    const QString folder = QFileInfo(program).absolutePath() + QStringLiteral("/");
    const TInstanceLock running(folder);
    QVERIFY(running.Held());
    QTemporaryDir home;
    QProcess moorscan;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("VEXMOOR_TEST_STARTED_FILE"), home.filePath(QStringLiteral("started")));
    moorscan.setProcessEnvironment(environment);
    moorscan.start(program, {QStringLiteral("-upgrade")});
    QVERIFY(moorscan.waitForFinished(30000));
    QCOMPARE(moorscan.exitCode(), 0);
    // Neither the update window nor the main window came up.
    QVERIFY(!QFile::exists(home.filePath(QStringLiteral("started"))));
  }
};

}  // namespace vexmoor

VEXMOOR_GUI_TEST_MAIN(vexmoor::TInstanceLockTest)
#include "InstanceLock_test.moc"
