// The cost of looking for trimmed dumps where there are none: 10,000
// archive members (100 stored zips of 100) that match no release, all of a
// size that is not a power of two and below 128 KiB, so that every one is
// tried against all 13 cartridge sizes, the most the search ever does.
// Scans the same page-cached folder with the search on and off, taking
// turns, and prints the best of each and the difference; then times the
// padding arithmetic alone. Times are processor time of the process (the
// scan runs on one thread here), which a busy shared machine inflates far
// less than wall time; wall time is printed beside it.
//   bench_trimmed [runs]    (default 7)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "catalogue/RomList.h"
#include "scan/AuditState.h"
#include "scan/ScanEngine.h"
#include "scan/TrimmedImage.h"
#include "tests/support/ArchiveBuilder.h"

namespace {

namespace fs = std::filesystem;
using namespace vexmoor;
using Clock = std::chrono::steady_clock;

constexpr int kZips = 100;
constexpr int kMembersPerZip = 100;

void WriteArchives(const fs::path& root, std::mt19937& random) {
  fs::create_directories(root);
  for (int z = 0; z < kZips; ++z) {
    std::vector<test::ZipMember> members;
    for (int m = 0; m < kMembersPerZip; ++m) {
      std::string data(1000 + random() % 3000, '\0');
      for (char& c : data) c = static_cast<char>(random());
      members.push_back({"Release " + std::to_string(z) + "-" + std::to_string(m) + ".nds", data});
    }
    const std::string zip = test::BuildZip(members);
    std::ofstream(root / ("Pack " + std::to_string(z) + ".zip"), std::ios::binary)
        .write(zip.data(), static_cast<std::streamsize>(zip.size()));
  }
}

// A dat-sized catalogue of releases that are not there.
void FillCatalogue(TAuditState& state, std::mt19937& random) {
  for (int i = 0; i < 6000; ++i) {
    TRomItem& item = state.Catalogue.Append();
    item.Crc = static_cast<uint32_t>(random());
    item.Status = StatusMissing;
  }
  state.DatMask = "*.nds";
  state.CacheResults = false;
}

struct TTimes {
  double CpuMs = 1e9;
  double WallMs = 1e9;
  void KeepBest(const TTimes& other) {
    CpuMs = std::min(CpuMs, other.CpuMs);
    WallMs = std::min(WallMs, other.WallMs);
  }
};

template <typename Work>
TTimes Time(Work work) {
  const std::clock_t cpuStart = std::clock();
  const auto wallStart = Clock::now();
  work();
  return {1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC,
          std::chrono::duration<double, std::milli>(Clock::now() - wallStart).count()};
}

TTimes Scan(TAuditState& state, const fs::path& root, bool matchTrimmed) {
  state.MatchTrimmed = matchTrimmed;
  TRomList list;
  TSortState sort;
  std::atomic<bool> cancel{false};
  TScanEngine engine(state, list, sort, cancel, {});
  TPipelineLimits pipeline;
  pipeline.Workers = 1;  // the search runs on the walk's thread either way
  engine.SetPipeline(pipeline);
  TScanOutcome outcome;
  const TTimes times = Time([&] { outcome = engine.Run(root.string()); });
  if (outcome.Matched != 0) std::fprintf(stderr, "unexpected: %d matched\n", outcome.Matched);
  return times;
}

TTimes Arithmetic(std::mt19937& random) {
  std::vector<std::pair<uint32_t, uint64_t>> dumps;
  for (int i = 0; i < kZips * kMembersPerZip; ++i)
    dumps.emplace_back(static_cast<uint32_t>(random()), 1000 + random() % 3000);
  PaddedImageCrcs(0, 3);  // builds the table
  uint32_t sink = 0;
  TTimes best;
  for (int run = 0; run < 5; ++run) {
    best.KeepBest(Time([&] {
      for (const auto& [crc, size] : dumps)
        for (const TPaddedImage& image : PaddedImageCrcs(crc, size)) sink ^= image.Crc;
    }));
  }
  if (sink == 0x12345678) std::printf(" ");  // keeps the loop
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  const fs::path root = fs::temp_directory_path() / ("vexmoor-trimmed-bench-" + std::to_string(std::random_device{}()));
  std::mt19937 random(19);
  WriteArchives(root, random);
  TAuditState state;
  FillCatalogue(state, random);
  Scan(state, root, true);  // into the page cache
  TTimes on, off;
  for (int run = 0; run < runs; ++run) {
    off.KeepBest(Scan(state, root, false));
    on.KeepBest(Scan(state, root, true));
  }
  fs::remove_all(root);
  std::printf("%d unmatched archive members in %d zips, 6000 releases, best of %d runs each, taking turns\n",
              kZips * kMembersPerZip, kZips, runs);
  std::printf("                               cpu ms    wall ms\n");
  std::printf("  scan, trimmed search off   %8.2f   %8.2f\n", off.CpuMs, off.WallMs);
  std::printf("  scan, trimmed search on    %8.2f   %8.2f\n", on.CpuMs, on.WallMs);
  std::printf("  extra for the search       %8.2f   %8.2f   (target < 20)\n", on.CpuMs - off.CpuMs,
              on.WallMs - off.WallMs);
  const TTimes arithmetic = Arithmetic(random);
  std::printf("  padding arithmetic alone   %8.2f   %8.2f   (13 sizes each, %.0f ns a member)\n",
              arithmetic.CpuMs, arithmetic.WallMs, arithmetic.CpuMs * 1e6 / (kZips * kMembersPerZip));
  return 0;
}
