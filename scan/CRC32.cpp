#include "scan/CRC32.h"

#include <algorithm>
#include <memory>

#include "platform/File.h"
#include "scan/crc32_impl.h"

namespace vexmoor {

TCrcTable CrcTable{};

void MakeCrcTable() {
  const uint32_t* table = crc32::ByteTable();
  std::copy(table, table + CrcTable.size(), CrcTable.begin());
}

uint32_t UpdateCrc(uint8_t byte, uint32_t crc) {
  return CrcTable[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

namespace {

// The low `count` hex digits of `value`, upper case, most significant first.
std::string HexDigits(uint32_t value, size_t count) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text(count, '0');
  for (size_t i = count; i-- > 0; value >>= 4) text[i] = kDigits[value & 0xF];
  return text;
}

}  // namespace

std::string HexWord(uint16_t value) { return HexDigits(value, 4); }

std::string HexLong(uint32_t value) { return HexDigits(value, 8); }

uint8_t* ThreadReadBlock() {
  thread_local const auto block = std::make_unique_for_overwrite<uint8_t[]>(kReadBlockBytes);
  return block.get();
}

uint32_t FileCrc32Continue(InputFile& file, uint32_t crc, const std::atomic<bool>* abandon) {
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

uint32_t FileCrc32Value(const std::string& path, const std::atomic<bool>* abandon) {
  // One thread: the scan already keeps every core busy with files.
  InputFile file(path);
  file.AdviseSequential();
  return FileCrc32Continue(file, 0, abandon);
}

std::string FileCrc32(const std::string& path) { return HexLong(FileCrc32Value(path)); }

}  // namespace vexmoor
