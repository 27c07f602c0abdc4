#include "catalogue/Rc4.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/Errors.h"

namespace vexmoor {
namespace {

std::string Hex(std::string_view bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

// The keystream right after the key schedule, as enciphering zeros gives it.
std::string Keystream(std::string_view key, size_t length) {
  Rc4SetKey(key);
  std::string stream(length, '\0');
  Rc4CryptStream(stream);
  return stream;
}

struct TVector {
  size_t offset;
  const char* hex;
};

void ExpectVectors(std::string_view key, std::initializer_list<TVector> vectors) {
  const std::string stream = Keystream(key, 4112);
  for (const TVector& vector : vectors) {
    EXPECT_EQ(Hex(stream.substr(vector.offset, 16)), vector.hex) << "offset " << vector.offset;
  }
}

// RFC 6229, section 2.
TEST(Rc4, MatchesPublishedVectors) {
  ExpectVectors(std::string("\x01\x02\x03\x04\x05", 5),
                {{0, "b2396305f03dc027ccc3524a0a1118a8"},
                 {16, "6982944f18fc82d589c403a47a0d0919"},
                 {240, "28cb1132c96ce286421dcaadb8b69eae"},
                 {4096, "ff25b58995996707e51fbdf08b34d875"}});
  std::string key128;
  for (char c = 1; c <= 16; ++c) key128 += c;
  ExpectVectors(key128, {{0, "9ac7cc9a609d1ef7b2932899cde41b97"},
                         {256, "d39d566bc6bce3010768151549f3873f"},
                         {4096, "a36a4c301ae8ac13610ccbc12256cacc"}});
}

TEST(Rc4, EncipherThenDecipherGivesTheBytesBack) {
  std::string data;
  for (int i = 0; i < 1000; ++i) data += static_cast<char>(i * 7);
  std::string buffer = data;
  Rc4SetKey(kDatKey);
  Rc4CryptStream(buffer);
  EXPECT_NE(buffer, data);
  // A second pass without a fresh key schedule goes on from the permuted
  // state and does not give the text back; a fresh schedule does.
  std::string stale = buffer;
  Rc4CryptStream(stale);
  EXPECT_NE(stale, data);
  Rc4SetKey(kDatKey);
  Rc4CryptStream(buffer);
  EXPECT_EQ(buffer, data);
}

TEST(Rc4, EmptyKeyIsRefusedAndEmptyStreamIsFine) {
  EXPECT_THROW(Rc4SetKey(""), Error);
  Rc4SetKey("k");
  std::string empty;
  Rc4CryptStream(empty);
  EXPECT_TRUE(empty.empty());
}

TEST(Rc4, StreamBytesAreBoundsChecked) {
  std::string stream = "abc";
  SetStreamByteAt(2, 'z', stream);
  EXPECT_EQ(StreamByteAt(2, stream), 'z');
  EXPECT_EQ(stream, "abz");
  EXPECT_THROW(StreamByteAt(3, stream), Error);
  EXPECT_THROW(SetStreamByteAt(3, 'x', stream), Error);
}

}  // namespace
}  // namespace vexmoor
