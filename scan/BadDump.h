// The SMT v1.0 bad-dump test: such dumps carry a fixed 84-byte ARM routine,
// padded with zeros to 512 bytes, at file offset 0x7E00.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vexmoor {

class TInputFile;

// The signature bytes (the program's SMT_BADDUMP data).
extern const std::array<uint8_t, 84> kSmtBadDump;

// Where the 512-byte block lies in a dump, and how long it is.
constexpr uint64_t kSmtBadDumpOffset = 0x7E00;
constexpr size_t kSmtBadDumpBlock = 512;

// True when the 512 bytes at 0x7E00 of `path` are kSmtBadDump followed by
// 428 zero bytes. A file too short to hold them is not a bad dump. Throws
// FileOpenError when the file cannot be opened, IoError when a read fails.
bool IsBadSmtDump(const std::string& path);
// The same test on a file already open.
bool IsBadSmtDump(TInputFile& file);
// The same test on the first `size` bytes of a file held in memory, when
// they reach past the block (kSmtBadDumpHead bytes) or are the whole file.
bool IsBadSmtDumpHead(const uint8_t* head, size_t size);
constexpr size_t kSmtBadDumpHead = kSmtBadDumpOffset + kSmtBadDumpBlock;

}  // namespace vexmoor
