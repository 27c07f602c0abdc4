// Forward reading of a file's small fields through one block buffer, so a
// directory of thousands of headers costs a handful of system calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/File.h"

namespace vexmoor {

class TBufferedReader {
 public:
  // Reads `file` (which must outlive the reader) in blocks of `blockSize`
  // bytes, starting at offset 0.
  explicit TBufferedReader(TInputFile& file, size_t blockSize = 64 * 1024);

  uint64_t Size() const { return size_; }
  uint64_t Position() const { return position_; }
  bool AtEnd() const { return position_ >= size_; }

  // Moves to `offset`; offsets past the end are allowed and read nothing.
  void Seek(uint64_t offset);
  void Skip(uint64_t count);

  // Copies `count` bytes and advances; false (position undefined) when the
  // file ends first. Throws IoError when a read fails.
  bool Read(void* out, size_t count);
  bool ReadString(std::string& out, size_t count);
  bool ReadU16(uint16_t& value);
  bool ReadU32(uint32_t& value);

 private:
  bool Fill(size_t wanted);

  TInputFile& file_;
  uint64_t size_;
  uint64_t position_ = 0;
  std::vector<uint8_t> block_;
  uint64_t blockStart_ = 0;  // file offset of block_[0]
  size_t blockLength_ = 0;   // valid bytes in block_
};

}  // namespace vexmoor
