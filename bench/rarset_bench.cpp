// Scan time of rar part-volume sets (x.part0001.rar ... x.partN.rar, one
// small member per volume) of 250 to 2000 volumes: the walk meets every
// volume, and the set must be read once, from its first volume, so the time
// per volume stays flat as N grows. The sets are written once into
// VEXMOOR_BENCH_DIR (default: the temporary folder) and kept; one untimed
// scan brings them into the page cache.
//   bench_rarset [runs]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "catalogue/RomList.h"
#include "scan/AuditState.h"
#include "scan/ScanEngine.h"
#include "tests/support/ArchiveBuilder.h"

namespace {

namespace fs = std::filesystem;
using namespace vexmoor;

fs::path SetFolder(size_t volumes) {
  const char* base = std::getenv("VEXMOOR_BENCH_DIR");
  const fs::path folder = fs::path(base ? base : fs::temp_directory_path().string()) /
                          "vexmoor-rarset-bench" / std::to_string(volumes);
  if (fs::exists(folder / "done")) return folder;
  fs::create_directories(folder);
  for (size_t v = 1; v <= volumes; ++v) {
    char name[64];
    std::snprintf(name, sizeof name, "set.part%04zu.rar", v);
    const std::string bytes = test::BuildRarVolume(
        {{"Release " + std::to_string(v) + ".nds", "volume " + std::to_string(v)}});
    std::ofstream(folder / name, std::ios::binary)
        .write(bytes.data(), std::streamsize(bytes.size()));
  }
  std::ofstream(folder / "done") << "";
  return folder;
}

// Seconds one plain (one-thread) scan of `folder` takes, and its matches.
double ScanSeconds(const fs::path& folder, int32_t& matched) {
  TAuditState state;
  state.CacheResults = false;
  state.DatMask = "*.nds";
  TRomItem& item = state.Catalogue.Append();
  item.Name = "Release 1";
  item.Crc = 0;  // matches nothing; the work is the reading
  TRomList list;
  TSortState sort;
  std::atomic<bool> cancel{false};
  TScanEngine engine(state, list, sort, cancel, {});
  engine.SetPipeline({1});
  const auto start = std::chrono::steady_clock::now();
  matched = engine.Run(folder.string()).Matched;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  std::printf("%8s %12s %16s\n", "volumes", "best scan s", "us per volume");
  for (const size_t volumes : {250u, 500u, 1000u, 2000u}) {
    const fs::path folder = SetFolder(volumes);
    int32_t matched = 0;
    ScanSeconds(folder, matched);  // into the page cache
    double best = 1e9;
    for (int run = 0; run < runs; ++run) best = std::min(best, ScanSeconds(folder, matched));
    std::printf("%8zu %12.3f %16.1f\n", volumes, best, best * 1e6 / double(volumes));
  }
  return 0;
}
