// CRC-32 as zip and rar store it, for the scan: the checksum of bytes in
// memory (scan/crc32/Crc32Core.h) and of files.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "scan/crc32/Crc32Core.h"

namespace vexmoor {

class TInputFile;

// CRC-32 of a whole file as eight upper-case hex digits. Throws
// FileOpenError when the file cannot be opened and IoError when a read fails.
std::string FileCrc32(const std::string& path);
// The same value as a number.
// With `abandon`, the read stops before the next block once the flag is set
// (another thread may set it); the value is then meaningless.
uint32_t FileCrc32Value(const std::string& path, const std::atomic<bool>* abandon = nullptr);
// The block file checksums read into: one per thread, kept for the
// thread's life, so a scan of many files does not map fresh memory (and
// take a page fault per page) for every file. 256 KiB: large enough that
// the system call is a small share of each read, small enough to stay in
// the processor's cache between the copy and the checksum.
inline constexpr size_t kReadBlockBytes = size_t{256} << 10;
uint8_t* ThreadReadBlock();

// Reads an open file from its current position to the end, continuing
// `crc`; stops early, as above, once `abandon` is set.
uint32_t FileCrc32Continue(TInputFile& file, uint32_t crc,
                           const std::atomic<bool>* abandon = nullptr);

// One pass over a file just opened: the CRC-32 of the bytes read and how
// many there were.
struct TFileSum {
  uint32_t Crc = 0;
  uint64_t Bytes = 0;
};
// Reads an open file from its start to its end, as FileCrc32Continue does;
// `size` is its size when it was opened. A read that comes back short of a
// full block once `size` bytes are in is the end, so a small file takes one
// read and no second call to find the end (bytes appended meanwhile are
// still taken: they come back in that read). `head`, when given, sees the
// first block read, however short; `each`, when given, every block read.
TFileSum ReadFileOnce(TInputFile& file, uint64_t size, const std::atomic<bool>* abandon,
                      const std::function<void(const uint8_t*, size_t)>& head = {},
                      const std::function<void(const uint8_t*, size_t)>& each = {});

}  // namespace vexmoor
