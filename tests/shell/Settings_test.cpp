// The settings store and the file-type registration.
#include "platform/qt/Settings.h"

#include <sys/resource.h>
#include <sys/stat.h>

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <csignal>
#include <functional>

#include "platform/Errors.h"
#include "platform/qt/FileTypes.h"
#include "shell/GuiTest.h"

namespace vexmoor {

class TSettingsTest : public QObject {
  Q_OBJECT

 private:
  static QString SettingsFile() { return TSettingsStore().Location(); }
  static void WriteSettingsFile(const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(SettingsFile()).absolutePath());
    QFile file(SettingsFile());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
  }

 private slots:
  void cleanup() { QFile::remove(SettingsFile()); }

  void missingValuesGiveTheTableDefaults() {
    const TSettingsStore store;
    QCOMPARE(store.ReadText("ScanFolder"), std::string());
    QCOMPARE(store.ReadText("QuenDat"), std::string("Quen-NDS.qdat"));
    QCOMPARE(store.ReadFlag("CacheResults"), true);
    QCOMPARE(store.ReadFlag("MatchTrimmed"), true);
    QCOMPARE(store.ReadFlag("VerifyArchives"), false);
    QVERIFY(SettingsFile().endsWith(QStringLiteral("/config/SOFTWARE/Vexmoor.conf")));
    QVERIFY_THROWS_EXCEPTION(std::logic_error, store.ReadText("NoSuchValue"));
  }

  void valuesRoundTripAndFlagsAreStoredAsDigits() {
    {
      TSettingsStore store;
      store.WriteText("ScanFolder", "/roms/ds \xC3\xA9t\xC3\xA9");
      store.WriteFlag("CacheResults", false);
    }
    const TSettingsStore store;
    QCOMPARE(store.ReadText("ScanFolder"), std::string("/roms/ds \xC3\xA9t\xC3\xA9"));
    QCOMPARE(store.ReadFlag("CacheResults"), false);
    QSettings raw(SettingsFile(), QSettings::IniFormat);
    QCOMPARE(raw.value(QStringLiteral("CacheResults")).toString(), QStringLiteral("0"));
  }

  void aFlagAcceptsAStoredNumberAndIgnoresText() {
    WriteSettingsFile("[General]\nCacheResults=0\n");
    QCOMPARE(TSettingsStore().ReadFlag("CacheResults"), false);
    WriteSettingsFile("[General]\nCacheResults=17\n");
    QCOMPARE(TSettingsStore().ReadFlag("CacheResults"), true);
    {
      QSettings raw(SettingsFile(), QSettings::IniFormat);
      raw.setValue(QStringLiteral("CacheResults"), 0);  // a number, not text
    }
    QCOMPARE(TSettingsStore().ReadFlag("CacheResults"), false);
    WriteSettingsFile("[General]\nCacheResults=off\n");
    QCOMPARE(TSettingsStore().ReadFlag("CacheResults"), true);  // not a number: the default
  }

  void aCorruptFileGivesTheDefaults() {
    static const char kJunk[] = "[General\n\xFF\xFE\x00\x01=\n==\n[[[\nQuenDat\n";
    QByteArray junk(kJunk, sizeof kJunk - 1);
    for (int i = 0; i < 512; ++i) junk.append(char(i * 37));
    WriteSettingsFile(junk);
    const TSettingsStore store;
    QCOMPARE(store.ReadText("QuenDat"), std::string("Quen-NDS.qdat"));
    QCOMPARE(store.ReadFlag("CacheResults"), true);
  }

  // Permission bits do not stop root, so the write is stopped by a file
  // size limit (a full disk) or by a regular file where the folder should be.
  void aSettingsFileThatCannotBeWrittenKeepsItsOldBytesAndSaysSo() {
    const QString folder = QFileInfo(SettingsFile()).absolutePath();
    const QString location = SettingsFile();
    struct TCase {
      const char* Name;
      std::function<void()> Break, Mend;
      QString Kept;  // the file that must keep its bytes
    };
    const TCase cases[] = {
        {"full disk",
         [] {
           std::signal(SIGXFSZ, SIG_IGN);
           const rlimit limit{40, RLIM_INFINITY};
           ::setrlimit(RLIMIT_FSIZE, &limit);
         },
         [] {
           const rlimit limit{RLIM_INFINITY, RLIM_INFINITY};
           ::setrlimit(RLIMIT_FSIZE, &limit);
         },
         location},
        {"folder is a file",
         [&] {
           QDir(folder).removeRecursively();
           QFile file(folder);
           QVERIFY(file.open(QIODevice::WriteOnly));
           file.write("[General]\nScanFolder=/old\n");
         },
         [&] { QFile::remove(folder); }, folder},
    };
    for (const TCase& test : cases) {
      WriteSettingsFile("[General]\nScanFolder=/old\n");
      TSettingsStore store;
      test.Break();
      store.WriteText("ScanFolder", std::string(200, 'n'));
      QString message;
      try {
        store.Sync();
      } catch (const IoError& error) {
        message = QString::fromStdString(error.what());
      }
      QFile kept(test.Kept);
      const QByteArray keptBytes = kept.open(QIODevice::ReadOnly) ? kept.readAll() : QByteArray();
      const QStringList files = QDir(folder).entryList(QDir::Files);
      test.Mend();
      QCOMPARE(
          message,
          QStringLiteral("Cannot write file \"%1\". The settings were not saved").arg(location));
      QCOMPARE(keptBytes, QByteArray("[General]\nScanFolder=/old\n"));
      if (test.Kept == location) QCOMPARE(files, QStringList{"Vexmoor.conf"});  // no temporary left
    }
  }

  // Reading a FIFO or a device would wait for ever: neither the key's file
  // nor the organisation's file beside its folder is read unless it is a
  // regular file; a folder in its place is refused by QSettings itself.
  void aSettingsFileThatIsNoRegularFileGivesTheDefaultsAtOnce() {
    const QString folder = QFileInfo(SettingsFile()).absolutePath();
    QDir().mkpath(folder);
    const QString fifos[] = {SettingsFile(), folder + QStringLiteral(".conf")};
    for (const QString& fifo : fifos) {
      QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
      TSettingsStore store;
      QCOMPARE(store.ReadText("QuenDat"), std::string("Quen-NDS.qdat"));
      QCOMPARE(store.ReadFlag("CacheResults"), true);
      store.WriteText("ScanFolder", "/new");
      QVERIFY_THROWS_EXCEPTION(IoError, store.Sync());
      QVERIFY(QFile::remove(fifo));
    }
    QVERIFY(QDir().mkpath(SettingsFile()));
    {
      TSettingsStore store;
      QCOMPARE(store.ReadText("QuenDat"), std::string("Quen-NDS.qdat"));
      QVERIFY_THROWS_EXCEPTION(IoError, store.Sync());
    }
    QVERIFY(QDir(SettingsFile()).removeRecursively());
  }

  void fileTypesAreWrittenOnlyWhenTheyDiffer() {
    const TFileTypeIcons icons{"<svg>dat</svg>", "<svg>cache</svg>"};
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    QVERIFY(RegisterFileTypes(icons));
    QFile package(data + QStringLiteral("/mime/packages/vexmoor.xml"));
    QVERIFY(package.open(QIODevice::ReadOnly));
    const QByteArray xml = package.readAll();
    QVERIFY(xml.contains("<comment>Quen Dat File</comment>"));
    QVERIFY(xml.contains("<glob pattern=\"*.qcache\"/>"));
    QVERIFY(xml.contains("value=\"QCAC\""));
    QVERIFY(!xml.contains("exec"));
    QFile icon(data + QStringLiteral("/icons/hicolor/scalable/mimetypes/application-x-quen-cache.svg"));
    QVERIFY(icon.open(QIODevice::ReadOnly));
    QCOMPARE(icon.readAll(), QByteArray("<svg>cache</svg>"));
    QVERIFY(!RegisterFileTypes(icons));
    QVERIFY(RegisterFileTypes({"<svg>new</svg>", icons.CacheIcon}));
  }
};

}  // namespace vexmoor

VEXMOOR_GUI_TEST_MAIN(vexmoor::TSettingsTest)
#include "Settings_test.moc"
