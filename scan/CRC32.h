// CRC-32 as zip and rar store it: reflected polynomial 0xEDB88320, register
// preset to all ones, result inverted.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vexmoor {

class InputFile;

using TCrcTable = std::array<uint32_t, 256>;

// The byte-at-a-time table; MakeCrcTable fills it (idempotent).
extern TCrcTable CrcTable;
void MakeCrcTable();

// One byte through the table: the register before and after, not inverted.
uint32_t UpdateCrc(uint8_t byte, uint32_t crc);

// Four and eight upper-case hex digits, most significant first.
std::string HexWord(uint16_t value);
std::string HexLong(uint32_t value);

// CRC-32 of a buffer, continuing from `crc` (the finished value of the data
// before it; 0 to start), so Crc32(b, Crc32(a)) == Crc32(a + b).
uint32_t Crc32(const void* data, size_t size, uint32_t crc = 0);

// The CRC-32 of A followed by B, from the CRC of A, the CRC of B (each
// started from 0) and B's length; lets parts of a file be summed apart.
uint32_t Crc32Combine(uint32_t first, uint32_t second, uint64_t secondLength);

// The operator behind Crc32Combine: appending `length` bytes multiplies the
// CRC before them by Crc32Shift(length), so that
//   Crc32CombineWith(first, second, Crc32Shift(n)) == Crc32Combine(first, second, n).
// Computing the operator is the costly half; a caller that joins many CRCs
// with the same length computes it once, and each join is then one product.
// Shifts multiply like CRCs: Crc32CombineWith(Crc32Shift(a), 0, Crc32Shift(b))
// == Crc32Shift(a + b).
uint32_t Crc32Shift(uint64_t length);
uint32_t Crc32CombineWith(uint32_t first, uint32_t second, uint32_t shift);

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
uint32_t FileCrc32Continue(InputFile& file, uint32_t crc,
                           const std::atomic<bool>* abandon = nullptr);

}  // namespace vexmoor
