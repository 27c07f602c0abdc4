// CRC-32 throughput: every routine the processor runs, side by side with
// libdeflate's libdeflate_crc32 on the same cache-resident buffer, and
// FileCrc32 on a page-cached 256 MiB file. Ends with the ratios.
//   bench_crc [--benchmark_filter=...]   (VEXMOOR_BENCH_DIR picks the folder)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "scan/CRC32.h"
#include "scan/crc32/crc32_impl.h"

#ifdef VEXMOOR_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace {

constexpr int64_t kMiB = 1 << 20;

std::vector<char> RandomBuffer(size_t size) {
  std::vector<char> data(size);
  std::mt19937_64 random(42);
  for (size_t i = 0; i + 8 <= size; i += 8) {
    const uint64_t value = random();
    std::memcpy(&data[i], &value, 8);
  }
  return data;
}

template <typename Function>
void RunBuffer(benchmark::State& state, Function crc) {
  const auto data = RandomBuffer(static_cast<size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(crc(data.data(), data.size()));
  state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

// Crc32 as callers see it: whichever routine the dispatcher chose.
void BufferCrc(benchmark::State& state) {
  state.SetLabel(vexmoor::crc32::ActiveVariant().name);
  RunBuffer(state, [](const char* p, size_t n) { return vexmoor::Crc32(p, n); });
}
BENCHMARK(BufferCrc)->Arg(4096)->Arg(kMiB)->Arg(64 * kMiB);

#ifdef VEXMOOR_HAVE_LIBDEFLATE
void Libdeflate(benchmark::State& state) {
  RunBuffer(state, [](const char* p, size_t n) { return libdeflate_crc32(0, p, n); });
}
BENCHMARK(Libdeflate)->Arg(4096)->Arg(kMiB);
#endif

// Each routine by itself, so the fallbacks are measured on this machine too.
void RegisterVariants() {
  for (const auto& variant : vexmoor::crc32::SupportedVariants()) {
    const auto function = variant.function;
    benchmark::RegisterBenchmark(
        (std::string("Variant/") + variant.name).c_str(),
        [function](benchmark::State& state) {
          RunBuffer(state, [function](const char* p, size_t n) { return function(p, n, 0); });
        })
        ->Arg(4096)
        ->Arg(kMiB);
  }
}

std::string BenchFile(size_t size) {
  const char* folder = std::getenv("VEXMOOR_BENCH_DIR");
  const std::filesystem::path dir = folder ? folder : std::filesystem::temp_directory_path();
  const std::string path = (dir / ("vexmoor-crc-bench-" + std::to_string(size))).string();
  if (!std::filesystem::exists(path) || std::filesystem::file_size(path) != size) {
    const auto chunk = RandomBuffer(1 << 20);
    std::ofstream out(path, std::ios::binary);
    for (size_t done = 0; done < size; done += chunk.size()) out.write(chunk.data(), chunk.size());
  }
  return path;
}

void FileCrc(benchmark::State& state) {
  const size_t size = static_cast<size_t>(state.range(0));
  const std::string path = BenchFile(size);
  vexmoor::FileCrc32(path);  // warm the page cache
  for (auto _ : state) benchmark::DoNotOptimize(vexmoor::FileCrc32(path));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
}
BENCHMARK(FileCrc)->Arg(256 * kMiB)->Unit(benchmark::kMillisecond)->UseRealTime();

// The console report, keeping each benchmark's best throughput for the
// summary (on a shared machine the best run is the least disturbed one).
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  SummaryReporter() : ConsoleReporter(OO_Tabular) {}  // no colour codes in pasted figures

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const auto found = run.counters.find("bytes_per_second");
      // Single runs, or the median when only aggregates are reported.
      const bool usable = run.run_type == Run::RT_Iteration || run.aggregate_name == "median";
      if (!usable || found == run.counters.end()) continue;
      double& best = speeds_[run.run_name.str()];
      best = std::max(best, found->second.value);
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintSummary() const {
    const double libdeflate = Speed("Libdeflate/1048576");
    std::printf("\nThroughput on a 1 MiB buffer (GB/s, 10^9 bytes per second):\n");
    for (const auto& [name, speed] : speeds_) {
      if (name.find("/1048576") == std::string::npos) continue;
      std::printf("  %-26s %7.2f", name.c_str(), speed / 1e9);
      if (libdeflate > 0) std::printf("   %5.2f x libdeflate_crc32", speed / libdeflate);
      std::printf("\n");
    }
    if (const double file = Speed("FileCrc/268435456/real_time"); file > 0) {
      std::printf("FileCrc32 on a page-cached 256 MiB file: %.2f GB/s\n", file / 1e9);
    }
  }

 private:
  double Speed(const std::string& name) const {
    const auto found = speeds_.find(name);
    return found == speeds_.end() ? 0 : found->second;
  }

  std::map<std::string, double> speeds_;
};

}  // namespace

int main(int argc, char** argv) {
  RegisterVariants();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintSummary();
  benchmark::Shutdown();
  return 0;
}
