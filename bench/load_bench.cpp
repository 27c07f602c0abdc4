// Loading a 10,000-entry .qdat whose cache file holds 10,000 pairs (half of
// them CRCs of the dat) into the catalogue: decipher, unpack, parse, cache
// read and lookups. Target: under 50 ms.
//   bench_load [--benchmark_filter=...]   (VEXMOOR_BENCH_DIR picks the folder)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "catalogue/DatContainer.h"
#include "catalogue/DatLoader.h"
#include "catalogue/General.h"
#include "scan/AuditState.h"
#include "scan/CacheTable.h"

namespace {

constexpr int kEntries = 10000;
constexpr int kCachePairs = 10000;

std::string BenchFolder() {
  const char* folder = std::getenv("VEXMOOR_BENCH_DIR");
  return folder ? folder : std::filesystem::temp_directory_path().string();
}

uint32_t EntryCrc(int i) { return static_cast<uint32_t>(i) * 2654435761u; }

std::string DatText() {
  std::string text =
      "[INFO]\r\nNAME=Bench\r\nSYSTEM=Nintendo DS\r\nMASK=*.nds\r\n"
      "FIELDS=INDEX|CRC32|NAME|COUNTRY\r\nSORT=Name\r\n[DAT]\r\n";
  const char countries[] = "UEJFCGINSKA";
  char line[128];
  for (int i = 1; i <= kEntries; ++i) {
    std::snprintf(line, sizeof line, "%04d|%08X|Benchmark Release Number %d (Rev %d)|%c\r\n", i,
                  EntryCrc(i), i, i % 3, countries[i % 11]);
    text += line;
  }
  return text;
}

// Writes the dat and its cache once; returns the dat's path.
std::string MakeFiles() {
  const std::string path = BenchFolder() + "/vexmoor-load-bench.qdat";
  vexmoor::WriteDatContainer(path, DatText(), 46357.5);
  vexmoor::TCacheTable cache;
  std::mt19937 random(7);
  for (int i = 0; i < kCachePairs; ++i) {
    // Every other pair is a CRC of the dat, the rest CRCs of other dats.
    vexmoor::CacheSet(cache, i % 2 ? EntryCrc(i + 1) : static_cast<uint32_t>(random()), 1);
  }
  vexmoor::WriteCacheFile(cache, vexmoor::ChangeExt(path, ".qcache"));
  return path;
}

void LoadQdatWithCache(benchmark::State& state) {
  static const std::string path = MakeFiles();
  size_t cached = 0;
  for (auto _ : state) {
    vexmoor::TAuditState audit;
    audit.CacheResults = true;
    audit.DatLoader = vexmoor::TDatLoader::QuenDat;
    if (!vexmoor::RunDatLoader(audit, path)) state.SkipWithError("container did not open");
    cached = 0;
    for (const auto& entry : audit.Catalogue) cached += entry.Status == vexmoor::StatusCached;
    benchmark::DoNotOptimize(audit.Catalogue.Count());
  }
  state.counters["entries"] = kEntries;
  state.counters["cached"] = static_cast<double>(cached);
}
BENCHMARK(LoadQdatWithCache)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
