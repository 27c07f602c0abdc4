// CRC-32 as zip and rar store it: reflected polynomial 0xEDB88320, register
// preset to all ones, result inverted. The checksum of bytes in memory, on
// the ground floor of the program so that every layer may use it; the
// scan's face, scan/CRC32.h, adds the checksum of files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vexmoor {

using TCrcTable = std::array<uint32_t, 256>;

// The byte-at-a-time table; MakeCrcTable fills it (idempotent).
extern TCrcTable CrcTable;
void MakeCrcTable();

// One byte through the table: the register before and after, not inverted.
uint32_t UpdateCrc(uint8_t byte, uint32_t crc);

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

}  // namespace vexmoor
