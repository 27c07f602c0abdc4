// Directory reading speed: 1000 zips of 20 members each (a folder of small
// archives, read one after another through one reader as a scan does), one
// zip of 20,000 members, 1000 7z archives of one 4 MiB dump each and one 7z
// of 20,000 members; and at scale a zip of 70,000 members, a rar set of 100
// volumes and a 7z of 50,000 members (bench/reader_scale.sh adds their peak
// memory). The archives are built once in a temporary folder
// (VEXMOOR_BENCH_DIR picks another) and are in the page cache; the 7z ones
// are made by the 7z tool, as users' archives are.
//   bench_cmpread [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
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

// The 7z tool's LZMA2 archive of `members` files of 16 bytes, named as
// releases are; an empty path when the tool is missing.
std::string SevenZipOfMembers(const std::string& name, size_t members) {
  const fs::path path = BenchDir() / name;
  if (fs::exists(path)) return path.string();
  const fs::path source = BenchDir() / (name + "-source");
  fs::create_directories(source);
  for (size_t i = 0; i < members; ++i) {
    std::ofstream(source / ("Release " + std::to_string(i) + " (Europe) (En,Fr,De).nds")) << std::string(15, char('a' + i % 26)) << '\n';
  }
  const std::string command = "cd '" + source.string() + "' && 7z a -bd '" + path.string() + "' . >/dev/null 2>&1";
  const bool made = std::system(command.c_str()) == 0;
  fs::remove_all(source);
  return made ? path.string() : std::string();
}

// 1000 archives of one 4 MiB dump each: the 7z tool packs one dump of
// random bytes, and each copy keeps its signature header and its last 4 KiB
// (the end of the member's data, the packed header and the end header)
// around a hole the reader never reads, so the copies take no disk space.
std::vector<std::string> ThousandDumpArchives() {
  const fs::path model = BenchDir() / "dump.7z";
  if (!fs::exists(model)) {
    const fs::path source = BenchDir() / "dump-source";
    fs::create_directories(source);
    std::mt19937 random(1);
    std::string dump(4 << 20, '\0');
    for (char& c : dump) c = static_cast<char>(random());
    std::ofstream(source / "Release 1 (Europe).nds", std::ios::binary).write(dump.data(), std::streamsize(dump.size()));
    const std::string command = "cd '" + source.string() + "' && 7z a -bd -mx=1 '" + model.string() + "' . >/dev/null 2>&1";
    const bool made = std::system(command.c_str()) == 0;
    fs::remove_all(source);
    if (!made) return {};
  }
  std::ifstream in(model, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t tail = 4096;
  std::vector<std::string> paths;
  for (int i = 0; i < 1000; ++i) {
    const fs::path path = BenchDir() / ("dump" + std::to_string(i) + ".7z");
    if (!fs::exists(path)) {
      std::ofstream out(path, std::ios::binary);
      out.write(bytes.data(), 32);
      out.seekp(std::streamoff(bytes.size() - tail));
      out.write(bytes.data() + bytes.size() - tail, tail);
    }
    paths.push_back(path.string());
  }
  return paths;
}

void ListAll(benchmark::State& state, const std::vector<std::string>& paths) {
  vexmoor::TCmpRead reader;
  size_t entries = 0;
  for (auto _ : state) {
    for (const std::string& path : paths) {
      reader.SetFileName(path);
      entries += reader.Count();
    }
  }
  state.counters["entries"] = double(entries) / double(state.iterations());
  state.counters["entries/s"] = benchmark::Counter(double(entries), benchmark::Counter::kIsRate);
}

void ThousandDumpSevenZips(benchmark::State& state) {
  const std::vector<std::string> paths = ThousandDumpArchives();
  if (paths.empty()) return state.SkipWithError("the 7z tool is missing");
  ListAll(state, paths);
}
BENCHMARK(ThousandDumpSevenZips)->Unit(benchmark::kMillisecond)->UseRealTime();

void OneSevenZipOf20000Members(benchmark::State& state) {
  const std::string path = SevenZipOfMembers("large.7z", 20000);
  if (path.empty()) return state.SkipWithError("the 7z tool is missing");
  ListAll(state, {path});
}
BENCHMARK(OneSevenZipOf20000Members)->Unit(benchmark::kMillisecond)->UseRealTime();

// Scale: listing must stay linear and its memory bounded.
void OneZipOf70000Members(benchmark::State& state) {
  ListAll(state, {WriteZip(BenchDir() / "scale70000.zip", 70000, 16)});
}
BENCHMARK(OneZipOf70000Members)->Unit(benchmark::kMillisecond)->UseRealTime();

// x.rar, x.r00 ... x.r98: each volume holds 10 members and a part of one
// member that runs through the whole set.
void RarSetOf100Volumes(benchmark::State& state) {
  const fs::path first = BenchDir() / "scale100.rar";
  for (int n = 0; n < 100 && !fs::exists(BenchDir() / "scale100.r98"); ++n) {
    std::vector<vexmoor::test::RarMember> members;
    for (int i = 0; i < 10; ++i) members.push_back({"v" + std::to_string(n) + "m" + std::to_string(i) + ".nds", std::string(512, 'r')});
    const uint16_t split = uint16_t((n > 0 ? 0x01 : 0) | (n < 99 ? 0x02 : 0));
    members.push_back({"spanning.nds", std::string(4096, 's'), 0x12345678, 100 * 4096, split});
    const std::string volume = vexmoor::test::BuildRarVolume(members, n == 0 ? 0x0101 : 0x0001);
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, "r%02d", n - 1);
    const fs::path path = n == 0 ? first : BenchDir() / ("scale100." + std::string(suffix));
    std::ofstream(path, std::ios::binary).write(volume.data(), std::streamsize(volume.size()));
  }
  ListAll(state, {first.string()});
}
BENCHMARK(RarSetOf100Volumes)->Unit(benchmark::kMillisecond)->UseRealTime();

void OneSevenZipOf50000Members(benchmark::State& state) {
  const std::string path = SevenZipOfMembers("scale50000.7z", 50000);
  if (path.empty()) return state.SkipWithError("the 7z tool is missing");
  ListAll(state, {path});
}
BENCHMARK(OneSevenZipOf50000Members)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
