#include "scan/CRC32.h"

#include <memory>

#include "catalogue/TextLines.h"
#include "platform/File.h"

namespace vexmoor {

uint8_t* ThreadReadBlock() {
  thread_local const auto block = std::make_unique_for_overwrite<uint8_t[]>(kReadBlockBytes);
  return block.get();
}

uint32_t FileCrc32Continue(TInputFile& file, uint32_t crc, const std::atomic<bool>* abandon) {
  // Large reads: one system call costs microseconds, so small blocks would
  // spend more time in the kernel than in the checksum. Plain reads rather
  // than a mapping: mapping a page-cached file costs a page-table entry per
  // page, which measured several times slower than the copy, and a file
  // truncated by another program while mapped would kill the process
  // instead of raising IoError.
  uint8_t* const block = ThreadReadBlock();
  while (!(abandon && abandon->load(std::memory_order_relaxed))) {
    const size_t got = file.Read(block, kReadBlockBytes);
    if (got == 0) break;
    crc = Crc32(block, got, crc);
  }
  return crc;
}

TFileSum ReadFileOnce(TInputFile& file, uint64_t size, const std::atomic<bool>* abandon,
                      const std::function<void(const uint8_t*, size_t)>& head,
                      const std::function<void(const uint8_t*, size_t)>& each) {
  uint8_t* const block = ThreadReadBlock();
  TFileSum sum;
  bool first = true;
  while (!(abandon && abandon->load(std::memory_order_relaxed))) {
    const size_t got = file.Read(block, kReadBlockBytes);
    if (first && head) head(block, got);
    first = false;
    if (got == 0) break;
    sum.Crc = Crc32(block, got, sum.Crc);
    if (each) each(block, got);
    sum.Bytes += got;
    if (got < kReadBlockBytes && sum.Bytes >= size) break;
  }
  return sum;
}

uint32_t FileCrc32Value(const std::string& path, const std::atomic<bool>* abandon) {
  // One thread: the scan already keeps every core busy with files.
  TInputFile file(path);
  file.AdviseSequential();
  return FileCrc32Continue(file, 0, abandon);
}

std::string FileCrc32(const std::string& path) { return HexLong(FileCrc32Value(path)); }

}  // namespace vexmoor
