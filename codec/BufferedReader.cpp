#include "codec/BufferedReader.h"

#include <algorithm>
#include <cstring>

#include "codec/Coding.h"

namespace vexmoor {

TBufferedReader::TBufferedReader(TInputFile& file, size_t blockSize)
    : file_(file), size_(file.Size()), block_(blockSize) {}

void TBufferedReader::Seek(uint64_t offset) { position_ = offset; }

void TBufferedReader::Skip(uint64_t count) {
  position_ = (count > UINT64_MAX - position_) ? UINT64_MAX : position_ + count;
}

// Makes `wanted` bytes from position_ available in block_, reading a new
// block at position_ when they are not already there.
bool TBufferedReader::Fill(size_t wanted) {
  if (position_ >= blockStart_ && position_ - blockStart_ + wanted <= blockLength_) return true;
  if (position_ >= size_ || wanted > size_ - position_) return false;
  if (block_.size() < wanted) block_.resize(wanted);
  blockStart_ = position_;
  const size_t want = static_cast<size_t>(std::min<uint64_t>(block_.size(), size_ - position_));
  blockLength_ = file_.ReadAt(position_, block_.data(), want);
  return wanted <= blockLength_;
}

bool TBufferedReader::Read(void* out, size_t count) {
  if (count == 0) return true;
  if (!Fill(count)) return false;
  std::memcpy(out, block_.data() + (position_ - blockStart_), count);
  position_ += count;
  return true;
}

bool TBufferedReader::ReadString(std::string& out, size_t count) {
  out.resize(count);
  return Read(out.data(), count);
}

bool TBufferedReader::ReadU16(uint16_t& value) {
  uint8_t bytes[2];
  if (!Read(bytes, 2)) return false;
  value = LoadU16(bytes);
  return true;
}

bool TBufferedReader::ReadU32(uint32_t& value) {
  uint8_t bytes[4];
  if (!Read(bytes, 4)) return false;
  value = LoadU32(bytes);
  return true;
}

}  // namespace vexmoor
