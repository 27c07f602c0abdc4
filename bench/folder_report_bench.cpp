// The folder report's memory on FILES (default 100,000) unknown dumps: the
// bytes each record takes (the record itself and its path's own
// allocation, as a scan of bench/unknown_files.sh's folder makes them), and
// the time to list its rows and write the list text.
//   bench_folder_report [FILES]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "catalogue/RomItem.h"
#include "reports/UnmatchedList.h"
#include "scan/FolderReport.h"

int main(int argc, char** argv) {
  using namespace vexmoor;
  const size_t files = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
  const auto start = std::chrono::steady_clock::now();
  TFolderReport report;
  for (size_t i = 0; i < files; ++i) {
    char path[96];
    std::snprintf(path, sizeof path, "/tmp/tmp.AbCdEfGhIj/unknown/f%03lu/d%06lu.nds",
                  static_cast<unsigned long>(i / 1000), static_cast<unsigned long>(i));
    TDumpRecord& record = report.Add(TDumpKind::Unknown, path);
    record.Size = 256;
    record.Crc = static_cast<uint32_t>(i * 2654435761u);
  }
  const auto filled = std::chrono::steady_clock::now();
  size_t heap = report.Records().capacity() * sizeof(TDumpRecord);
  for (const TDumpRecord& record : report.Records()) {
    // A string's own allocation once it outgrows the bytes kept inside it.
    if (record.Path.capacity() > 15) heap += record.Path.capacity() + 1;
    if (record.Member.capacity() > 15) heap += record.Member.capacity() + 1;
  }
  TCatalogue catalogue;
  const std::string text = UnmatchedListText(report, catalogue);
  const auto written = std::chrono::steady_clock::now();
  const auto ms = [](auto a, auto b) { return std::chrono::duration<double, std::milli>(b - a).count(); };
  const auto number = [](size_t value) { return static_cast<unsigned long>(value); };
  const size_t pathBytes = report.Records().empty() ? 0 : report.Records()[0].Path.size();
  std::printf("records: %lu, sizeof(TDumpRecord) = %lu bytes\n", number(files), number(sizeof(TDumpRecord)));
  std::printf("memory: %lu bytes in all, %.1f bytes per record (path of %lu bytes)\n", number(heap),
              files ? double(heap) / double(files) : 0.0, number(pathBytes));
  std::printf("time: %.1f ms to record, %.1f ms to write the list (%lu bytes)\n", ms(start, filled),
              ms(filled, written), number(text.size()));
  return 0;
}
