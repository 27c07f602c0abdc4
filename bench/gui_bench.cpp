// The main window under the offscreen platform, timed with the real window
// (list model, table view, header), each figure the best of a few runs:
//   bench_gui lists
//     filling the list from a 10,000- and a 100,000-entry catalogue (the
//     list rebuild, the model reset and one full repaint of the window), and
//     one header click on each (sort, layout change, repaint).
//     Targets: 10,000 entries under 50 ms each, 100,000 under 500 ms each.
//   bench_gui filter
//     on a 100,000-entry list: typing one letter into the filter box (the
//     rows filtered anew and the window repainted), a second letter, the
//     box cleared, and the status filter switched to "Missing" and back.
//     Target: a letter answers within 50 ms.
//   bench_gui firstpaint [ENTRIES]
//     a window started with an ENTRIES-entry dat (default 100,000, sorted
//     by index; the dat it was last closed with) and its list painted, against a minimal Qt window that
//     reads the same dat, splits its lines and fields, sorts the rows as the
//     dat asks (plain byte order) and shows them in a table view; both
//     offscreen, taking turns, in CPU time of the process (steadier on a busy
//     machine) with wall time beside, best of a few runs.
//     Target: the window at most 1.2x the minimal one.
//   bench_gui scan DAT FOLDER [WORKERS [store]]
//     loads DAT, then scans FOLDER as "&Scan..." does after its chooser and
//     prints the time to " Scanning complete." and the longest gap between
//     two ticks of a 10 ms timer meanwhile (the window's responsiveness).
//     The checksum store is off, so every file is read, unless `store` is
//     given: then the window's store is used (recalling what earlier runs
//     read), as `vexmoor audit` without --no-checksum-cache does.
#include <QAbstractTableModel>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string_view>
#include <vector>
#include <cstdlib>
#include <string>

#include "bench/SampleData.h"
#include "platform/File.h"
#include "platform/ProgramFolder.h"
#include "shell/Dialogs.h"
#include "shell/ListFilterBar.h"
#include "shell/RomListModel.h"
#include "shell/formMain.h"

namespace {

using vexmoor::shell::TMainForm;

constexpr int kRuns = 5;

double Milliseconds(const QElapsedTimer& timer) { return double(timer.nsecsElapsed()) / 1e6; }

// The window paints everything now, as it would when the event loop next runs.
void PaintNow(TMainForm& form) {
  form.repaint();
  form.ListView()->viewport()->repaint();
}

void ClickHeader(TMainForm& form, int column) {
  QHeaderView* header = form.ListView()->horizontalHeader();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, 4));
}

void BenchLists(const QString& folder) {
  for (const size_t entries : {size_t{10000}, size_t{100000}}) {
    const std::string path = QFile::encodeName(folder).toStdString() + "/bench.qdat";
    const std::string text = vexmoor::bench::GeneratedDatText(entries, 7, vexmoor::bench::DatNames::kWords);
    vexmoor::WriteFileAtomically(path, text);
    TMainForm form(QFile::encodeName(folder).toStdString() + "/");
    form.show();
    form.OpenDat(QString::fromStdString(path), vexmoor::TDatLoader::QuenDat);
    QCoreApplication::processEvents();
    double fill = 1e9, click = 1e9;
    for (int run = 0; run < kRuns; ++run) {
      QElapsedTimer timer;
      timer.start();
      form.FillList();
      PaintNow(form);
      fill = std::min(fill, Milliseconds(timer));
      timer.restart();
      ClickHeader(form, 2 + run % 2);  // a column not sorted by the fill
      PaintNow(form);
      click = std::min(click, Milliseconds(timer));
    }
    std::printf("%7zu entries: fill %7.1f ms   header click %7.1f ms   (best of %d; target %s)\n", entries,
                fill, click, kRuns, entries <= 10000 ? "50 ms" : "500 ms");
  }
}

// The minimal window's rows: each dat line's fields, as they stand.
class TPlainRows : public QAbstractTableModel {
 public:
  explicit TPlainRows(const std::string& text) {
    std::string_view rest(text);
    bool inDat = false;
    while (!rest.empty()) {
      const size_t end = rest.find('\n');
      std::string_view line = rest.substr(0, end);
      rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (line == "[DAT]") {
        inDat = true;
        continue;
      }
      if (!inDat || line.empty()) continue;
      std::array<QString, 3> fields;
      for (QString& field : fields) {
        const size_t bar = line.find('|');
        field = QString::fromLatin1(line.data(), static_cast<qsizetype>(std::min(bar, line.size())));
        line = bar == std::string_view::npos ? std::string_view() : line.substr(bar + 1);
      }
      rows_.push_back(std::move(fields));
    }
    std::stable_sort(rows_.begin(), rows_.end(), [](const auto& a, const auto& b) { return a[0] < b[0]; });
  }
  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 5; }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    const auto& row = rows_[static_cast<size_t>(index.row())];
    switch (index.column()) {
      case 1:
        return row[0];
      case 2:
        return row[2];
      case 3:
        return row[1];
      case 4:
        return QStringLiteral("Missing");
      default:
        return {};
    }
  }

 private:
  std::vector<std::array<QString, 3>> rows_;
};

double CpuMilliseconds() { return double(std::clock()) * 1000.0 / CLOCKS_PER_SEC; }

void BenchFirstPaint(const QString& folder, size_t entries) {
  const std::string path = QFile::encodeName(folder).toStdString() + "/bench.qdat";
  vexmoor::WriteFileAtomically(path, vexmoor::bench::GeneratedDatText(entries, 7, vexmoor::bench::DatNames::kWords));
  const std::string programFolder = QFile::encodeName(folder).toStdString() + "/";
  {
    // The dat chosen once: each window below starts with it, as a user's does.
    TMainForm form(programFolder);
    form.OpenDat(QString::fromStdString(path), vexmoor::TDatLoader::QuenDat);
  }
  double windowCpu = 1e9, windowWall = 1e9, plainCpu = 1e9, plainWall = 1e9;
  for (int run = 0; run < kRuns; ++run) {
    {
      const double cpu = CpuMilliseconds();
      QElapsedTimer timer;
      timer.start();
      TMainForm form(programFolder);
      form.show();
      PaintNow(form);
      windowWall = std::min(windowWall, Milliseconds(timer));
      windowCpu = std::min(windowCpu, CpuMilliseconds() - cpu);
      if (static_cast<size_t>(form.Model().rowCount()) != entries)
        std::fprintf(stderr, "the window started with %d rows, not %zu\n", form.Model().rowCount(), entries);
    }
    {
      const double cpu = CpuMilliseconds();
      QElapsedTimer timer;
      timer.start();
      QFile file(QString::fromStdString(path));
      file.open(QIODevice::ReadOnly);
      const QByteArray bytes = file.readAll();
      TPlainRows rows(bytes.toStdString());
      QTableView view;
      view.setModel(&rows);
      view.resize(800, 600);
      view.show();
      view.repaint();
      view.viewport()->repaint();
      plainWall = std::min(plainWall, Milliseconds(timer));
      plainCpu = std::min(plainCpu, CpuMilliseconds() - cpu);
    }
  }
  std::printf("%zu entries, best of %d: window %.1f ms CPU (%.1f wall), minimal window %.1f ms CPU (%.1f wall)\n",
              entries, kRuns, windowCpu, windowWall, plainCpu, plainWall);
  std::printf("first paint, window / minimal window, CPU %.2f (target <= 1.2)\n", windowCpu / plainCpu);
}

// The best of kRuns of `step`, each followed by a repaint.
template <typename Step>
double BestOf(TMainForm& form, Step step) {
  double best = 1e9;
  for (int run = 0; run < kRuns; ++run) {
    QElapsedTimer timer;
    timer.start();
    step(run);
    PaintNow(form);
    best = std::min(best, Milliseconds(timer));
  }
  return best;
}

void BenchFilter(const QString& folder) {
  const size_t entries = 100000;
  const std::string path = QFile::encodeName(folder).toStdString() + "/bench.qdat";
  vexmoor::WriteFileAtomically(path, vexmoor::bench::GeneratedDatText(entries, 7, vexmoor::bench::DatNames::kWords));
  TMainForm form(QFile::encodeName(folder).toStdString() + "/");
  form.show();
  form.OpenDat(QString::fromStdString(path), vexmoor::TDatLoader::QuenDat);
  QCoreApplication::processEvents();
  QLineEdit* box = form.FilterBar()->NameBox();
  QComboBox* status = form.FilterBar()->StatusBox();
  const auto visible = [&] { return form.ListView()->model()->rowCount(); };
  int oneLetter = 0, twoLetters = 0;
  const double first = BestOf(form, [&](int) {
    box->clear();
    QTest::keyClick(box, Qt::Key_A);
    oneLetter = visible();
  });
  const double second = BestOf(form, [&](int) {
    box->setText(QStringLiteral("a"));
    QTest::keyClick(box, Qt::Key_R);
    twoLetters = visible();
    box->setText(QStringLiteral("a"));
  });
  const double cleared = BestOf(form, [&](int) {
    box->setText(QStringLiteral("ar"));
    box->clear();
  });
  const double missing = BestOf(form, [&](int run) { status->setCurrentIndex(run % 2 == 0 ? 2 : 0); });
  std::printf("%zu entries: first letter %.1f ms (%d rows), second letter %.1f ms (%d rows), cleared %.1f ms, "
              "status filter %.1f ms   (best of %d; target 50 ms)\n",
              entries, first, oneLetter, second, twoLetters, cleared, missing, kRuns);
}

int BenchScan(const QString& folder, const QString& dat, const QString& roms, unsigned workers,
              bool store) {
  TMainForm form(QFile::encodeName(folder).toStdString() + "/");
  vexmoor::TPipelineLimits limits;
  limits.Workers = workers;
  form.SetScanPipeline(limits);
  form.show();
  if (form.Action(QStringLiteral("CacheItem"))->isChecked()) form.Action(QStringLiteral("CacheItem"))->trigger();
  if (form.Action(QStringLiteral("ChecksumItem"))->isChecked() != store)
    form.Action(QStringLiteral("ChecksumItem"))->trigger();
  form.OpenDat(dat, vexmoor::TDatLoader::QuenDat);
  QCoreApplication::processEvents();
  QElapsedTimer sinceTick;
  double longestGap = 0, longestGapEnd = 0;
  QElapsedTimer timer;
  QTimer ticker;
  ticker.setTimerType(Qt::PreciseTimer);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    if (Milliseconds(sinceTick) > longestGap) {
      longestGap = Milliseconds(sinceTick);
      longestGapEnd = Milliseconds(timer);
    }
    sinceTick.restart();
  });
  ticker.start(10);
  sinceTick.start();
  timer.start();
  form.ScanFolder(roms);
  const double scan = Milliseconds(timer);
  if (form.PanelText(2) != QStringLiteral(" Scanning complete.")) return 1;
  // A gap still open at the end (the scan's last steps) counts as well.
  if (Milliseconds(sinceTick) > longestGap) {
    longestGap = Milliseconds(sinceTick);
    longestGapEnd = scan;
  }
  std::printf(
      "window scan %.0f ms (%s, %s), longest gap between timer ticks %.1f ms ending %.0f ms into "
      "the scan, workers %u, checksum store %s\n",
      scan, qPrintable(form.PanelText(0).trimmed()), qPrintable(form.PanelText(1).trimmed()),
      longestGap, longestGapEnd, workers, store ? "on" : "off");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Settings and file types go to a folder of the run's own.
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
  qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
  QApplication application(argc, argv);
  vexmoor::shell::TDialogs::Script();
  const QStringList args = QApplication::arguments();
  if (args.size() == 2 && args[1] == QStringLiteral("lists")) {
    BenchLists(home.path());
    return 0;
  }
  if ((args.size() == 2 || args.size() == 3) && args[1] == QStringLiteral("firstpaint")) {
    BenchFirstPaint(home.path(), args.size() == 3 ? args[2].toULong() : 100000);
    return 0;
  }
  if (args.size() == 2 && args[1] == QStringLiteral("filter")) {
    BenchFilter(home.path());
    return 0;
  }
  const bool store = args.size() == 6 && args[5] == QStringLiteral("store");
  if ((args.size() == 4 || args.size() == 5 || store) && args[1] == QStringLiteral("scan"))
    return BenchScan(home.path(), args[2], args[3],
                     args.size() >= 5 ? args[4].toUInt() : vexmoor::DefaultScanWorkers(), store);
  std::fprintf(stderr, "usage: bench_gui lists | bench_gui filter | bench_gui firstpaint [ENTRIES] | bench_gui scan DAT FOLDER [WORKERS [store]]\n");
  return 2;
}
