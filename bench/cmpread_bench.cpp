// Directory reading speed: 1000 zips of 20 members each (a folder of small
// archives, read one after another through one reader as a scan does) and
// one zip of 20,000 members. The archives are built once in a temporary
// folder (VEXMOOR_BENCH_DIR picks another) and are in the page cache.
//   bench_cmpread [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "scan/cmpread.h"
#include "tests/support/ArchiveBuilder.h"

namespace {

namespace fs = std::filesystem;

fs::path BenchDir() {
  const char* folder = std::getenv("VEXMOOR_BENCH_DIR");
  const fs::path dir = fs::path(folder ? folder : fs::temp_directory_path().string()) / "vexmoor-cmpread-bench";
  fs::create_directories(dir);
  return dir;
}

std::string WriteZip(const fs::path& path, size_t members, size_t memberSize) {
  if (!fs::exists(path)) {
    std::vector<vexmoor::test::ZipMember> list;
    for (size_t i = 0; i < members; ++i) {
      list.push_back({"Release " + std::to_string(i) + " (Europe) (En,Fr,De).nds",
                      std::string(memberSize, char('a' + i % 26))});
    }
    const std::string bytes = vexmoor::test::BuildZip(list);
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  return path.string();
}

void ThousandSmallZips(benchmark::State& state) {
  std::vector<std::string> paths;
  for (int i = 0; i < 1000; ++i) paths.push_back(WriteZip(BenchDir() / ("small" + std::to_string(i) + ".zip"), 20, 512));
  vexmoor::TCmpRead reader;
  size_t entries = 0;
  for (auto _ : state) {
    for (const std::string& path : paths) {
      reader.SetFileName(path);
      entries += reader.Count();
    }
  }
  state.counters["archives/s"] = benchmark::Counter(double(state.iterations()) * 1000, benchmark::Counter::kIsRate);
  state.counters["entries/s"] = benchmark::Counter(double(entries), benchmark::Counter::kIsRate);
}
BENCHMARK(ThousandSmallZips)->Unit(benchmark::kMillisecond)->UseRealTime();

void OneZipOf20000Members(benchmark::State& state) {
  const std::string path = WriteZip(BenchDir() / "large.zip", 20000, 16);
  vexmoor::TCmpRead reader;
  size_t entries = 0;
  for (auto _ : state) {
    reader.SetFileName(path);
    entries += reader.Count();
  }
  state.counters["entries/s"] = benchmark::Counter(double(entries), benchmark::Counter::kIsRate);
}
BENCHMARK(OneZipOf20000Members)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
