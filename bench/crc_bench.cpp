// CRC-32 throughput: the buffer routine on cache-resident and larger
// buffers, and FileCrc32 on a page-cached 256 MiB file.
//   bench_crc [--benchmark_filter=...]   (VEXMOOR_BENCH_DIR picks the folder)
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "scan/CRC32.h"

namespace {

std::vector<char> RandomBuffer(size_t size) {
  std::vector<char> data(size);
  std::mt19937_64 random(42);
  for (size_t i = 0; i + 8 <= size; i += 8) {
    const uint64_t value = random();
    std::memcpy(&data[i], &value, 8);
  }
  return data;
}

void BufferCrc(benchmark::State& state) {
  const auto data = RandomBuffer(static_cast<size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(vexmoor::Crc32(data.data(), data.size()));
  state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BufferCrc)->Arg(4096)->Arg(1 << 20)->Arg(64 << 20);

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
BENCHMARK(FileCrc)->Arg(256 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
