// Scan speed on a collection of about 1 GiB: loose dumps of 8-64 MiB in
// nested folders, stored zips of 1 MiB members, and three-volume rar sets.
// The collection is written once into VEXMOOR_BENCH_DIR (default: the
// temporary folder) and kept for later runs. One untimed scan brings it into
// the page cache; the timed scans that follow measure the scan itself, not
// the disk. The timed scans run with one worker (the plain walk) and with
// two.
//   bench_scan [runs]
//   bench_scan --write-dat FILE   writes the collection if needed and a
//                                 native dat of the same catalogue to FILE,
//                                 prints the collection's folder and exits
//                                 (for bench/scan_vs_rhash.sh)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "catalogue/RomList.h"
#include "catalogue/TextLines.h"
#include "scan/AuditState.h"
#include "scan/CRC32.h"
#include "scan/ScanEngine.h"
#include "tests/support/ArchiveBuilder.h"

namespace {

namespace fs = std::filesystem;
using namespace vexmoor;

constexpr size_t kMiB = 1024 * 1024;

struct TCollection {
  fs::path Root;
  std::vector<uint32_t> Crcs;  // of every dump in it
  uint64_t LooseBytes = 0;
  uint64_t TotalBytes = 0;
  size_t Files = 0;  // loose dumps and archive files (rar volumes each)
};

class TRandom {
 public:
  explicit TRandom(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }
  std::string Bytes(size_t size) {
    std::string data(size, '\0');
    for (size_t i = 0; i + 8 <= size; i += 8) {
      const uint64_t value = Next();
      std::memcpy(&data[i], &value, 8);
    }
    return data;
  }

 private:
  uint64_t state_;
};

void WriteFile(const fs::path& path, const std::string& data) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(data.data(), static_cast<std::streamsize>(data.size()));
}

// Writes a loose dump of `size` bytes chunk by chunk; returns its CRC.
uint32_t WriteLooseDump(const fs::path& path, size_t size, TRandom& random) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  uint32_t crc = 0;
  for (size_t done = 0; done < size; done += kMiB) {
    const std::string chunk = random.Bytes(kMiB);
    crc = Crc32(chunk.data(), chunk.size(), crc);
    out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  }
  return crc;
}

void AddLooseDumps(TCollection& collection, TRandom& random, bool write) {
  const char* regions[] = {"Europe", "USA", "Japan"};
  for (int i = 0; i < 18; ++i) {
    const size_t size = (8 + (i * 37) % 57) * kMiB;  // 8 to 64 MiB
    const fs::path path = collection.Root / regions[i % 3] / ("Set " + std::to_string(i % 4)) /
                          ("Deep " + std::to_string(i % 2)) /
                          ("Release " + std::to_string(i) + ".nds");
    collection.Crcs.push_back(write ? WriteLooseDump(path, size, random) : 0);
    collection.LooseBytes += size;
    ++collection.Files;
  }
}

void AddZips(TCollection& collection, TRandom& random, bool write) {
  for (int z = 0; z < 24; ++z) {
    std::vector<test::ZipMember> members;
    for (int m = 0; m < 8; ++m) {
      members.push_back(
          {"Zipped " + std::to_string(z) + "-" + std::to_string(m) + ".nds", random.Bytes(kMiB)});
      collection.Crcs.push_back(Crc32(members.back().data.data(), kMiB));
    }
    const std::string zip = test::BuildZip(members);
    if (write) WriteFile(collection.Root / "Zips" / ("Pack " + std::to_string(z) + ".zip"), zip);
    collection.TotalBytes += zip.size();
    ++collection.Files;
  }
}

void AddRarSets(TCollection& collection, TRandom& random, bool write) {
  for (int s = 0; s < 8; ++s) {
    for (int v = 1; v <= 3; ++v) {
      std::vector<test::RarMember> members;
      for (int m = 0; m < 2; ++m) {
        test::RarMember member;
        member.name = "Set " + std::to_string(s) + "\\Vol " + std::to_string(v) + "-" +
                      std::to_string(m) + ".nds";
        member.data = random.Bytes(4 * kMiB);
        collection.Crcs.push_back(Crc32(member.data.data(), member.data.size()));
        members.push_back(std::move(member));
      }
      const std::string volume = test::BuildRarVolume(members, 0x0011);
      const std::string name = "Set " + std::to_string(s) + ".part" + std::to_string(v) + ".rar";
      if (write) WriteFile(collection.Root / "Rars" / ("Set " + std::to_string(s)) / name, volume);
      collection.TotalBytes += volume.size();
      ++collection.Files;
    }
  }
}

TCollection MakeCollection() {
  const char* folder = std::getenv("VEXMOOR_BENCH_DIR");
  TCollection collection;
  collection.Root =
      fs::path(folder ? folder : fs::temp_directory_path().string()) / "vexmoor-scan-bench";
  // The marker holds the dumps' CRCs, so a kept collection is not re-read.
  const fs::path marker = collection.Root / ".complete-1";
  const bool write = !fs::exists(marker);
  if (write) {
    std::fprintf(stderr, "writing the collection into %s ...\n", collection.Root.c_str());
    fs::remove_all(collection.Root);
  }
  TRandom random(0x5CA11E57);
  TCollection sizes = collection;
  AddLooseDumps(write ? collection : sizes, random, write);
  if (write) {
    AddZips(collection, random, true);
    AddRarSets(collection, random, true);
    std::string crcs;
    for (const uint32_t crc : collection.Crcs) crcs += HexLong(crc) + "\n";
    WriteFile(marker, crcs);
  } else {
    collection = sizes;
    collection.Crcs.clear();
    std::ifstream in(marker);
    for (std::string line; std::getline(in, line);)
      collection.Crcs.push_back(uint32_t(std::stoul(line, nullptr, 16)));
    for (const auto& entry : fs::recursive_directory_iterator(collection.Root)) {
      if (entry.is_regular_file() && entry.path().extension() != ".nds") {
        collection.TotalBytes += entry.file_size();
        ++collection.Files;
      }
    }
    collection.Files -= 1;  // the marker
    collection.TotalBytes -= fs::file_size(marker);
  }
  collection.TotalBytes += collection.LooseBytes;
  return collection;
}

// A catalogue of every dump's CRC (the loose ones as the warm-up scan
// reports them) plus 5000 releases that are not there.
void FillCatalogue(TAuditState& state, const TCollection& collection) {
  TRandom random(7);
  for (const uint32_t crc : collection.Crcs) state.Catalogue.Append().Crc = crc;
  for (int i = 0; i < 5000; ++i)
    state.Catalogue.Append().Crc = static_cast<uint32_t>(random.Next());
  for (TRomItem& item : state.Catalogue) item.Status = StatusMissing;
  state.DatMask = "*.nds";
  state.CacheResults = false;
}

// The same catalogue as a native dat in plain text.
void WriteDat(const std::string& path, const TCollection& collection) {
  TAuditState state;
  FillCatalogue(state, collection);
  std::string dat = "[INFO]\r\nNAME=Scan bench\r\nMASK=*.nds\r\n[DAT]\r\n";
  for (size_t i = 0; i < state.Catalogue.Count(); ++i)
    dat += std::to_string(i + 1) + "|" + HexLong(state.Catalogue[i].Crc) + "|Release " +
           std::to_string(i + 1) + "\r\n";
  WriteFile(path, dat);
}

double ScanSeconds(TAuditState& state, const TCollection& collection, TScanOutcome& outcome,
                   unsigned workers) {
  TRomList list;
  TSortState sort;
  std::atomic<bool> cancel{false};
  TScanEngine engine(state, list, sort, cancel, {});
  TPipelineLimits pipeline;
  pipeline.Workers = workers;
  engine.SetPipeline(pipeline);
  const auto start = std::chrono::steady_clock::now();
  outcome = engine.Run(collection.Root.string());
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double MedianSeconds(TAuditState& state, const TCollection& collection, int runs,
                     unsigned workers) {
  TScanOutcome outcome;
  std::vector<double> times;
  for (int run = 0; run < runs; ++run)
    times.push_back(ScanSeconds(state, collection, outcome, workers));
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write-dat") == 0) {
    const TCollection collection = MakeCollection();
    WriteDat(argv[2], collection);
    std::printf("%s\n", collection.Root.c_str());
    return 0;
  }
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const TCollection collection = MakeCollection();
  TAuditState state;
  FillCatalogue(state, collection);
  TScanOutcome outcome;
  const double cold = ScanSeconds(state, collection, outcome, DefaultScanWorkers());
  std::printf("collection: %zu files (%zu loose dumps), %.0f MiB, %.0f MiB checksummed per scan\n",
              collection.Files, size_t{18}, collection.TotalBytes / double(kMiB),
              collection.LooseBytes / double(kMiB));
  std::printf("first scan (fills the page cache): %.2f s, %d matched\n", cold, outcome.Matched);
  double one = 0;
  for (const unsigned workers : {1u, 2u}) {
    const double median = MedianSeconds(state, collection, runs, workers);
    if (workers == 1) one = median;
    std::printf("page-cached scan, %u worker%s, median of %d: %.3f s (%.2f x one worker)\n",
                workers, workers == 1 ? "" : "s", runs, median, one / median);
    std::printf("  %.0f MB/s checksummed (loose dumps read whole)\n",
                collection.LooseBytes / 1e6 / median);
    std::printf("  %.0f MB/s of collection (archives read by their directories only)\n",
                collection.TotalBytes / 1e6 / median);
    std::printf("  %.1f files/s (%zu work-list files)\n", collection.Files / median,
                collection.Files);
  }
  return 0;
}
