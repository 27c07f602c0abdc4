#include "codec/StreamCodes.h"

namespace vexmoor::test {

void StreamBuilder::Bit(int bit) {
  if (bitsLeft_ == 0) {
    tag_ = bytes_.size();
    bytes_.push_back(0);
    bitsLeft_ = 8;
  }
  --bitsLeft_;
  if (bit) bytes_[tag_] |= uint8_t(1 << bitsLeft_);
}

StreamBuilder& StreamBuilder::Bits(std::initializer_list<int> bits) {
  for (int bit : bits) Bit(bit);
  return *this;
}

StreamBuilder& StreamBuilder::Byte(uint8_t byte) {
  bytes_.push_back(byte);
  return *this;
}

StreamBuilder& StreamBuilder::Gamma(uint32_t value) {
  int top = 31;
  while (!(value >> top)) --top;
  for (int digit = top - 1; digit >= 0; --digit) {
    Bit((value >> digit) & 1);
    Bit(digit > 0);
  }
  return *this;
}

StreamBuilder& StreamBuilder::Literal(uint8_t byte) {
  Bit(0);
  afterMatch_ = false;
  return Byte(byte);
}

StreamBuilder& StreamBuilder::RawMatch(uint32_t gamma, uint8_t low, uint32_t lengthGamma) {
  Bits({1, 0}).Gamma(gamma).Byte(low).Gamma(lengthGamma);
  afterMatch_ = true;
  return *this;
}

StreamBuilder& StreamBuilder::MatchAt(uint32_t offset, uint32_t length) {
  uint32_t coded = length;
  if (offset < 128) coded -= 2;
  if (offset >= 1280) --coded;
  if (offset >= 32000) --coded;
  return RawMatch((offset >> 8) + (afterMatch_ ? 2 : 3), uint8_t(offset), coded);
}

StreamBuilder& StreamBuilder::Reuse(uint32_t length) {
  Bits({1, 0}).Gamma(2).Gamma(length);
  afterMatch_ = true;
  return *this;
}

StreamBuilder& StreamBuilder::Short(uint32_t offset, uint32_t length) {
  Bits({1, 1, 0}).Byte(uint8_t(offset << 1 | (length - 2)));
  afterMatch_ = true;
  return *this;
}

StreamBuilder& StreamBuilder::Single(uint32_t distance) {
  Bits({1, 1, 1});
  for (int bit = 3; bit >= 0; --bit) Bit((distance >> bit) & 1);
  afterMatch_ = false;
  return *this;
}

StreamBuilder& StreamBuilder::End() { return Bits({1, 1, 0}).Byte(0); }

namespace {

struct Reader {
  const std::vector<uint8_t>& in;
  size_t pos = 1, tag = 0;
  int bitsLeft = 0;
  bool bad = false;

  int Byte() {
    if (pos >= in.size()) {
      bad = true;
      return 0;
    }
    return in[pos++];
  }
  int Bit() {
    if (bitsLeft == 0) {
      tag = pos;
      Byte();
      bitsLeft = 8;
    }
    --bitsLeft;
    return bad ? 0 : (in[tag] >> bitsLeft) & 1;
  }
  uint64_t Gamma() {
    uint64_t value = 1;
    do value = value * 2 + Bit();
    while (Bit() && value < (1ull << 40));
    return value;
  }
};

bool Copy(StreamTrace& trace, uint64_t offset, uint64_t length) {
  if (offset == 0 || offset > trace.output.size() || length > (1u << 26)) return false;
  for (uint64_t i = 0; i < length; ++i) trace.output += trace.output[trace.output.size() - offset];
  trace.maxOffset = std::max<uint32_t>(trace.maxOffset, uint32_t(offset));
  trace.maxLength = std::max(trace.maxLength, length);
  return true;
}

}  // namespace

std::optional<StreamTrace> ReferenceDecode(const std::vector<uint8_t>& stream) {
  if (stream.empty()) return std::nullopt;
  StreamTrace trace;
  trace.output += char(stream[0]);
  Reader r{stream};
  bool afterMatch = false;
  uint64_t lastOffset = 0;
  for (;;) {
    bool ok = true;
    if (r.Bit() == 0) {
      trace.output += char(r.Byte());
      ++trace.literals;
      afterMatch = false;
    } else if (r.Bit() == 0) {
      const uint64_t g = r.Gamma();
      if (!afterMatch && g == 2) {
        const uint64_t length = r.Gamma();
        ok = lastOffset != 0 && Copy(trace, lastOffset, length);
        ++trace.reuses;
      } else {
        const uint64_t offset = (g - (afterMatch ? 2 : 3)) * 256 + uint64_t(r.Byte());
        uint64_t length = r.Gamma();
        if (offset >= 32000) ++length;
        if (offset >= 1280) ++length;
        if (offset < 128) length += 2;
        const uint64_t minimum = offset >= 32000 ? 4 : offset >= 1280 ? 3 : offset >= 128 ? 2 : 4;
        ok = length >= minimum && Copy(trace, offset, length);
        lastOffset = offset;
        ++trace.matches;
      }
      afterMatch = true;
    } else if (r.Bit() == 0) {
      const int byte = r.Byte();
      if (byte >> 1 == 0) {
        trace.paddingZero = (r.in[r.tag] & ((1 << r.bitsLeft) - 1)) == 0;
        trace.consumed = r.pos;
        return r.bad ? std::nullopt : std::optional(trace);
      }
      ok = Copy(trace, uint64_t(byte >> 1), uint64_t(2 + (byte & 1)));
      lastOffset = uint64_t(byte >> 1);
      ++trace.shortMatches;
      afterMatch = true;
    } else {
      int distance = 0;
      for (int i = 0; i < 4; ++i) distance = distance * 2 + r.Bit();
      if (size_t(distance) > trace.output.size()) return std::nullopt;
      trace.output += distance == 0 ? '\0' : trace.output[trace.output.size() - size_t(distance)];
      ++trace.singles;
      afterMatch = false;
    }
    if (!ok || r.bad) return std::nullopt;
  }
}

}  // namespace vexmoor::test
