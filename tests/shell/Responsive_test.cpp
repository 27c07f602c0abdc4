// The window stays responsive while a scan waits for a slow read: a dump
// that arrives in pieces a quarter of a second apart (a pipe standing in for
// a slow disk) must not keep a 10 ms timer from firing for 100 ms or more.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/ProgramFolder.h"
#include "platform/qt/Settings.h"
#include "scan/CRC32.h"
#include "shell/GuiTest.h"
#include "shell/RomListModel.h"
#include "shell/formMain.h"

namespace vexmoor::shell {

namespace {

constexpr int kPieces = 4;
constexpr size_t kPieceBytes = 64 * 1024;
constexpr auto kPause = std::chrono::milliseconds(250);

QByteArray Piece(int index) { return QByteArray(kPieceBytes, char('a' + index)); }

// Feeds the pipe at `path` piece by piece once a reader has opened it. Gives
// up after ten seconds without a reader.
void FeedSlowly(const std::string& path) {
  int fd = -1;
  for (int tries = 0; fd < 0 && tries < 1000; ++tries) {
    fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd < 0 && errno == ENXIO) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (fd < 0) return;
  ::fcntl(fd, F_SETFL, 0);
  for (int i = 0; i < kPieces; ++i) {
    if (i > 0) std::this_thread::sleep_for(kPause);
    const QByteArray piece = Piece(i);
    for (qsizetype done = 0; done < piece.size();) {
      const ssize_t wrote = ::write(fd, piece.constData() + done, static_cast<size_t>(piece.size() - done));
      if (wrote <= 0) break;
      done += wrote;
    }
  }
  ::close(fd);
}

}  // namespace

class TResponsiveTest : public QObject {
  Q_OBJECT

 private slots:
  void theWindowHandlesEventsWhileAReadIsSlow() {
    QTemporaryDir dir;
    const std::string folder = QFile::encodeName(dir.path()).toStdString() + "/";
    QDir().mkpath(dir.filePath(QStringLiteral("roms")));
    const std::string pipe = folder + "roms/slow.bin";
    QVERIFY(::mkfifo(pipe.c_str(), 0600) == 0);
    uint32_t crc = 0;
    for (int i = 0; i < kPieces; ++i) crc = Crc32(Piece(i).constData(), kPieceBytes, crc);
    QFile dat(dir.filePath(QStringLiteral("slow.qdat")));
    QVERIFY(dat.open(QIODevice::WriteOnly));
    dat.write(QStringLiteral("[INFO]\r\nMASK=*.bin\r\n[DAT]\r\n0001|%1|Slow Dump\r\n")
                  .arg(crc, 8, 16, QLatin1Char('0'))
                  .toUpper()
                  .toLatin1());
    dat.close();

    SetCurrentFolder(folder);
    TMainForm form(folder);
    form.show();
    form.OpenDat(dat.fileName(), TDatLoader::QuenDat);
    QCOMPARE(form.Model().rowCount(), 1);

    std::thread feeder(FeedSlowly, pipe);
    QElapsedTimer sinceTick, scan;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    connect(&ticker, &QTimer::timeout, [&] {
      longestGap = qMax(longestGap, sinceTick.restart());
    });
    ticker.start(10);
    sinceTick.start();
    scan.start();
    form.ScanFolder(dir.filePath(QStringLiteral("roms")));
    const qint64 took = scan.elapsed();
    longestGap = qMax(longestGap, sinceTick.elapsed());
    feeder.join();

    QCOMPARE(form.PanelText(0), QStringLiteral(" Found : 1"));
    QVERIFY2(took >= 700, qPrintable(QStringLiteral("the scan took %1 ms").arg(took)));
    QVERIFY2(longestGap < 100, qPrintable(QStringLiteral("longest gap %1 ms").arg(longestGap)));
  }
};

}  // namespace vexmoor::shell

VEXMOOR_GUI_TEST_MAIN(vexmoor::shell::TResponsiveTest)
#include "Responsive_test.moc"
