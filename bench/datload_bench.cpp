// The native dat loader against a line-splitting floor, on the same plain
// text dat of 100,000 releases read from one file: the floor reads the file,
// finds every line end and every '|' of the [DAT] lines and touches each
// field, which is the least any loader of the format must do; a second
// floor also keeps every field as a string of its own, as a loader that
// holds the texts must. Target: the loader within 2x the floor
// (small_files.sh prints both ratios).
//   bench_datload [--benchmark_filter=...]   (VEXMOOR_BENCH_DIR picks the folder)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "bench/SampleData.h"
#include "catalogue/DatLoader.h"
#include "catalogue/LoadedDat.h"
#include "platform/File.h"

namespace {

constexpr size_t kEntries = 100000;

const std::string& DatPath() {
  static const std::string path = [] {
    const char* folder = std::getenv("VEXMOOR_BENCH_DIR");
    const std::string file =
        (folder ? std::string(folder) : std::filesystem::temp_directory_path().string()) +
        "/vexmoor-datload-bench.qdat";
    vexmoor::WriteFileAtomically(
        file, vexmoor::bench::GeneratedDatText(kEntries, 7, vexmoor::bench::DatNames::kReleases));
    return file;
  }();
  return path;
}

void NativeLoader(benchmark::State& state) {
  const std::string& path = DatPath();
  for (auto _ : state) {
    vexmoor::TLoadedDat dat;
    vexmoor::LoadQuenDat(dat, path);
    benchmark::DoNotOptimize(dat);
  }
}
BENCHMARK(NativeLoader)->Unit(benchmark::kMillisecond);

// Reads the dat and calls `field(line, index, text)` for each '|'-separated
// field of each line, the line's end found with memchr.
template <typename Field>
void SplitDat(const std::string& path, Field field) {
  const std::string text = vexmoor::ReadWholeFile(path);
  const char* at = text.data();
  const char* const end = at + text.size();
  for (size_t lineIndex = 0; at < end; ++lineIndex) {
    const char* lineEnd = static_cast<const char*>(std::memchr(at, '\n', size_t(end - at)));
    if (lineEnd == nullptr) lineEnd = end;
    std::string_view line(at, size_t(lineEnd - at));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    for (size_t index = 0;; ++index) {
      const size_t bar = line.find('|');
      field(lineIndex, index, line.substr(0, bar));
      if (bar == std::string_view::npos) break;
      line.remove_prefix(bar + 1);
    }
    at = lineEnd + 1;
  }
}

void LineSplittingFloor(benchmark::State& state) {
  const std::string& path = DatPath();
  for (auto _ : state) {
    size_t fields = 0, bytes = 0;
    SplitDat(path, [&](size_t, size_t, std::string_view text) {
      ++fields;
      bytes += text.size();
    });
    benchmark::DoNotOptimize(fields);
    benchmark::DoNotOptimize(bytes);
  }
}
BENCHMARK(LineSplittingFloor)->Unit(benchmark::kMillisecond);

// The same, keeping each field of each line as a string of its own: the
// least a loader that holds the texts must do.
void LineSplittingKeptFloor(benchmark::State& state) {
  const std::string& path = DatPath();
  for (auto _ : state) {
    std::vector<std::array<std::string, 3>> rows;
    SplitDat(path, [&](size_t line, size_t index, std::string_view text) {
      if (line >= rows.size()) rows.emplace_back();
      if (index < 3) rows.back()[index].assign(text);
    });
    benchmark::DoNotOptimize(rows);
  }
}
BENCHMARK(LineSplittingKeptFloor)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
