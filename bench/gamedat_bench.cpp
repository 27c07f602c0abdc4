// Loading Logiqx XML dats of 10,000 and 100,000 games (about 3 and 30 MB,
// a DS dat's shape: name, description, one rom with size, CRC, MD5 and
// SHA-1) into the catalogue, and the memory a load needs beyond the process
// before it (peak resident growth, measured in a fresh process), as a
// multiple of the file's size. Targets: 30 ms and 300 ms, under 3x.
//   bench_gamedat [--benchmark_filter=...]   (VEXMOOR_BENCH_DIR picks the folder)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "catalogue/DatLoader.h"
#include "platform/File.h"
#include "scan/AuditState.h"

namespace {

const char* const kRegions[] = {"USA", "Europe", "Japan", "France", "Germany", "Spain"};

std::string BenchFolder() {
  const char* folder = std::getenv("VEXMOOR_BENCH_DIR");
  return folder ? folder : std::filesystem::temp_directory_path().string();
}

std::string DatPath(int games) {
  return BenchFolder() + "/vexmoor-gamedat-bench-" + std::to_string(games) + ".xml";
}

std::string Hex(std::mt19937& random, int digits) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text(static_cast<size_t>(digits), '0');
  for (char& c : text) c = kDigits[random() & 15];
  return text;
}

std::string LogiqxText(int games) {
  std::mt19937 random(static_cast<unsigned>(games));
  std::string text =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE datafile PUBLIC \"-//Logiqx//DTD ROM Management "
      "Datafile//EN\" \"http://www.logiqx.com/Dats/datafile.dtd\">\n<datafile>\n\t<header>\n"
      "\t\t<name>Bench - Nintendo DS</name>\n\t\t<description>Bench - Nintendo DS</description>\n"
      "\t\t<version>1</version>\n\t</header>\n";
  for (int i = 1; i <= games; ++i) {
    const std::string name = "Release " + std::to_string(i) + " &amp; Co (" + kRegions[i % 6] + ")";
    text += "\t<game name=\"" + name + "\" id=\"" + std::to_string(i) + "\">\n\t\t<description>" +
            name + "</description>\n\t\t<rom name=\"" + name + ".nds\" size=\"67108864\" crc=\"" +
            Hex(random, 8) + "\" md5=\"" + Hex(random, 32) + "\" sha1=\"" + Hex(random, 40) +
            "\"/>\n\t</game>\n";
  }
  return text + "</datafile>\n";
}

void WriteDat(int games) {
  std::ofstream(DatPath(games), std::ios::binary) << LogiqxText(games);
}

void Load(vexmoor::TAuditState& state, const std::string& path) {
  state.CacheResults = false;
  state.DatLoader = vexmoor::TDatLoader::OtherDat;
  vexmoor::RunDatLoader(state, path);
}

// Resident and peak resident sizes of this process in bytes (Linux), or 0.
long long StatusBytes(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) return std::atoll(line.c_str() + std::string(key).size()) * 1024;
  }
  return 0;
}

// Run in a fresh process: the peak resident growth of one load.
int MeasureMemory(const std::string& path) {
  const long long before = StatusBytes("VmRSS:");
  vexmoor::TAuditState state;
  Load(state, path);
  const long long peak = StatusBytes("VmHWM:");
  std::printf("%lld\n", peak - before);
  return 0;
}

void LoadLogiqx(benchmark::State& state) {
  const int games = static_cast<int>(state.range(0));
  const std::string path = DatPath(games);
  size_t entries = 0;
  for (auto _ : state) {
    vexmoor::TAuditState audit;
    Load(audit, path);
    entries = audit.Catalogue.Count();
  }
  state.counters["entries"] = static_cast<double>(entries);
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}
BENCHMARK(LoadLogiqx)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void ReportMemory(const char* self, int games) {
  const std::string command = std::string("\"") + self + "\" --peak-memory \"" + DatPath(games) + "\"";
  FILE* child = popen(command.c_str(), "r");
  long long growth = 0;
  if (child == nullptr || std::fscanf(child, "%lld", &growth) != 1) growth = -1;
  if (child != nullptr) pclose(child);
  const double size = static_cast<double>(std::filesystem::file_size(DatPath(games)));
  std::printf("%d games: file %.1f MB, peak memory of a load %.1f MB = %.2f x the file\n", games,
              size / 1e6, static_cast<double>(growth) / 1e6, static_cast<double>(growth) / size);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--peak-memory") return MeasureMemory(argv[2]);
  for (const int games : {10000, 100000}) {
    WriteDat(games);
    ReportMemory(argv[0], games);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
