// Test side of the stream format, written straight from the format's rules
// and independent of the codec: a builder that emits chosen codes, and a
// plain reference decoder that also reports what codes a stream used.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexmoor::test {

// Emits a stream code by code. The caller decides every code, so streams can
// be valid, exotic or deliberately broken.
class StreamBuilder {
 public:
  explicit StreamBuilder(uint8_t first) { bytes_.push_back(first); }

  StreamBuilder& Literal(uint8_t byte);
  // A match code with the given gamma value g, data byte and length gamma;
  // use MatchAt for the usual arithmetic.
  StreamBuilder& RawMatch(uint32_t gamma, uint8_t low, uint32_t lengthGamma);
  // A match at `offset` of `length` bytes, coded for the current match flag.
  StreamBuilder& MatchAt(uint32_t offset, uint32_t length);
  StreamBuilder& Reuse(uint32_t length);
  StreamBuilder& Short(uint32_t offset, uint32_t length);
  StreamBuilder& Single(uint32_t distance);
  StreamBuilder& End();
  StreamBuilder& Bits(std::initializer_list<int> bits);
  StreamBuilder& Gamma(uint32_t value);
  StreamBuilder& Byte(uint8_t byte);

  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  bool AfterMatch() const { return afterMatch_; }

 private:
  void Bit(int bit);

  std::vector<uint8_t> bytes_;
  size_t tag_ = 0;
  int bitsLeft_ = 0;
  bool afterMatch_ = false;
};

// What the reference decoder saw.
struct StreamTrace {
  std::string output;
  uint32_t maxOffset = 0;
  uint64_t maxLength = 0;
  size_t literals = 0, singles = 0, shortMatches = 0, matches = 0, reuses = 0;
  bool paddingZero = true;  // the tag bits after the end marker are zero
  size_t consumed = 0;      // stream bytes up to and including the end marker
};

// Decodes by the format's rules with no limits on output; nullopt for any
// stream the format does not allow (including matches shorter than their
// offset permits, which no conforming packer emits).
std::optional<StreamTrace> ReferenceDecode(const std::vector<uint8_t>& stream);

}  // namespace vexmoor::test
