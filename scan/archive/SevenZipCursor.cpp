#include "scan/archive/SevenZipCursor.h"

#include "codec/BufferedReader.h"
#include "codec/Coding.h"

namespace vexmoor::sevenzip {

void Damaged(const char* what) { throw SevenZipHeaderError(std::string("Damaged 7z header: ") + what + "."); }

uint8_t TCursor::Byte() {
  if (at_ >= bytes_.size()) Damaged("it ends early");
  return bytes_[at_++];
}

uint32_t TCursor::U32() { return LoadU32(Bytes(4).data()); }

uint64_t TCursor::Number() {
  const uint8_t first = Byte();
  uint64_t value = 0;
  for (unsigned i = 0, mask = 0x80; i < 8; ++i, mask >>= 1) {
    if ((first & mask) == 0) return value | uint64_t(first & (mask - 1)) << (8 * i);
    value |= uint64_t(Byte()) << (8 * i);
  }
  return value;
}

uint64_t TCursor::Count() {
  const uint64_t count = Number();
  if (count > Remaining()) Damaged("a count exceeds the header");
  return count;
}

std::span<const uint8_t> TCursor::Bytes(uint64_t count) {
  if (count > Remaining()) Damaged("a field exceeds the header");
  const std::span<const uint8_t> bytes = bytes_.subspan(at_, static_cast<size_t>(count));
  at_ += static_cast<size_t>(count);
  return bytes;
}

TCursor TCursor::Sub(uint64_t size) { return TCursor(Bytes(size)); }

void TCursor::Expect(uint8_t id, const char* what) {
  if (Byte() != id) Damaged(what);
}

std::vector<bool> TCursor::Bits(uint64_t count) {
  const std::span<const uint8_t> bytes = Bytes(count / 8 + (count % 8 != 0));
  std::vector<bool> bits(static_cast<size_t>(count));
  for (size_t i = 0; i < bits.size(); ++i) bits[i] = (bytes[i / 8] >> (7 - i % 8)) & 1;
  return bits;
}

std::vector<bool> TCursor::DefinedBits(uint64_t count) {
  if (Byte() != 0) {
    if (count > Remaining() * 8 + 8) Damaged("a count exceeds the header");
    return std::vector<bool>(static_cast<size_t>(count), true);
  }
  return Bits(count);
}

std::vector<std::optional<uint32_t>> TCursor::Digests(uint64_t count) {
  const std::vector<bool> defined = DefinedBits(count);
  std::vector<std::optional<uint32_t>> digests(defined.size());
  for (size_t i = 0; i < defined.size(); ++i) {
    if (defined[i]) digests[i] = U32();
  }
  return digests;
}

}  // namespace vexmoor::sevenzip
