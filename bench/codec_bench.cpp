// The codec's figures: for each file named on the command line, three
// generated dat texts of 6000 lines (release names drawn from 48 titles
// with region and languages, the same without languages, and names made
// of random words) and 1 MiB of generated binary, the stream size and
// its share of the input, pack MB/s and unpack MB/s (the stream decoder
// alone and the whole block with both CRC checks). With --reference, also
// the stream size of a near-optimal parse without the packer's memory limit
// (slow), within the packer's window and with any offset, to show how far
// the packer's parse is from the best.
//   bench_codec [--reference] [FILE...]
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/ReferenceParse.h"
#include "bench/SampleData.h"
#include "codec/ApFormat.h"
#include "codec/StreamPack.h"
#include "codec/StreamUnpack.h"
#include "codec/aPLib.h"
#include "platform/File.h"

namespace {

// The thread's processor time: on a shared machine, wall time would count
// the time other processes hold the processor.
double CpuSeconds() {
  return double(std::clock()) / CLOCKS_PER_SEC;
}

// The best of several runs of `work`, in seconds; runs for about `budget`.
template <typename Work>
double BestSeconds(Work&& work, double budget = 0.5) {
  double best = 1e9, total = 0;
  for (int run = 0; run < 3 || (total < budget && run < 1000); ++run) {
    const double start = CpuSeconds();
    work();
    const double seconds = CpuSeconds() - start;
    best = std::min(best, seconds);
    total += seconds;
  }
  return best;
}

bool Measure(const std::string& name, const std::string& input, bool reference) {
  using namespace vexmoor;
  const auto* in = reinterpret_cast<const uint8_t*>(input.data());
  std::vector<uint8_t> work(ap::kWorkMemorySize), block(ap::BlockBound(input.size()));
  std::vector<uint8_t> out(input.size());
  size_t blockLength = 0;
  const double pack = BestSeconds([&] { blockLength = PackBlock(in, block.data(), input.size(), work.data()).value_or(0); });
  if (blockLength == 0) return false;
  const size_t streamLength = blockLength - ap::kHeaderSize;
  size_t decoded = 0;
  const double unpack = BestSeconds([&] {
    decoded = ap::UnpackStream(block.data() + ap::kHeaderSize, streamLength, out.data(), out.size()).value_or(0);
  });
  std::optional<uint32_t> checked;
  const double unpackBlock = BestSeconds([&] { checked = UnpackBlock(block.data(), blockLength, out.data(), out.size()); });
  if (decoded != input.size() || !checked || !std::equal(out.begin(), out.end(), in)) return false;
  const double mb = double(input.size()) / 1e6;
  std::printf("%-28s %9zu -> %8zu bytes (%5.2f%%)  pack %6.2f MB/s  unpack %7.1f MB/s  block %7.1f MB/s\n",
              name.c_str(), input.size(), streamLength, 100.0 * double(streamLength) / double(input.size()),
              mb / pack, mb / unpack, mb / unpackBlock);
  if (reference) {
    for (const uint32_t window : {ap::kMaxOffset, UINT32_MAX}) {
      const size_t best = vexmoor::bench::ReferencePack(input, window).size();
      if (best == 0) return false;
      std::printf("%-28s %9s    %8zu bytes (%5.2f%%)  reference parse, %s; ours is %.3f times as long\n", "", "", best,
                  100.0 * double(best) / double(input.size()),
                  window == ap::kMaxOffset ? "offsets up to 91904" : "any offset", double(streamLength) / double(best));
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::pair<std::string, std::string>> inputs;
  bool reference = false;
  try {
    for (int i = 1; i < argc; ++i) {
      if (std::string(argv[i]) == "--reference") {
        reference = true;
        continue;
      }
      inputs.emplace_back(argv[i], vexmoor::ReadWholeFile(argv[i]));
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_codec: %s\n", error.what());
    return 1;
  }
  inputs.emplace_back("dat text, 6000 lines",
                      vexmoor::bench::GeneratedDatText(6000, 1, vexmoor::bench::DatNames::kReleases));
  inputs.emplace_back("dat text, no languages", vexmoor::bench::GeneratedDatText(6000));
  inputs.emplace_back("dat text, names of words",
                      vexmoor::bench::GeneratedDatText(6000, 1, vexmoor::bench::DatNames::kWords));
  inputs.emplace_back("binary, 1 MiB", vexmoor::bench::GeneratedBinary(1 << 20));
  std::printf("stream sizes exclude the 24-byte block header\n");
  int status = 0;
  for (const auto& [name, data] : inputs) {
    if (data.empty()) continue;
    if (!Measure(name, data, reference)) {
      std::fprintf(stderr, "bench_codec: round trip failed for %s\n", name.c_str());
      status = 1;
    }
  }
  return status;
}
