// One encoder run over a 10,000-line plain dat: read, TIMESTAMP rewrite,
// pack, encipher, write the source and the container atomically, and the
// keys file. The rewrite alone is measured too. Target: a run well under a
// second, so the encoder window never seems to hang.
//   bench_encode [--benchmark_filter=...]   (VEXMOOR_BENCH_DIR picks the folder)
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "SampleData.h"
#include "encoder/DatEncoder.h"
#include "encoder/IniTimestamp.h"
#include "platform/File.h"

namespace {

constexpr size_t kLines = 10000;

std::string BenchFolder() {
  const char* folder = std::getenv("VEXMOOR_BENCH_DIR");
  return folder ? folder : std::filesystem::temp_directory_path().string();
}

void BM_EncodeRun(benchmark::State& state) {
  const std::string folder = BenchFolder() + "/vexmoor-encode-bench";
  std::filesystem::create_directories(folder);
  const std::string source = folder + "/Bench.dat";
  const std::string text = vexmoor::bench::GeneratedDatText(kLines);
  vexmoor::WriteFileAtomically(source, text);
  vexmoor::TEncodeOptions options;
  for (auto _ : state) benchmark::DoNotOptimize(vexmoor::EncodeDats({source}, options));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_EncodeRun)->Unit(benchmark::kMillisecond);

void BM_TimeStampRewrite(benchmark::State& state) {
  const std::string text = vexmoor::bench::GeneratedDatText(kLines);
  for (auto _ : state) benchmark::DoNotOptimize(vexmoor::SetDatTimeStamp(text, "46363.25"));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_TimeStampRewrite)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
