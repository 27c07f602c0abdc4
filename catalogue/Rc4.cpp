#include "catalogue/Rc4.h"

#include <array>
#include <cstdint>
#include <utility>

#include "platform/Errors.h"

namespace vexmoor {

namespace {

struct TRc4State {
  std::array<uint8_t, 256> S{};
  std::array<uint8_t, 256> K{};
};

TRc4State& SharedState() {
  static TRc4State state;
  return state;
}

void CheckPosition(size_t position, const std::string& stream) {
  if (position >= stream.size()) {
    throw Error("Stream position " + std::to_string(position) + " is past the end (" +
                std::to_string(stream.size()) + " bytes)");
  }
}

}  // namespace

void Rc4SetKey(std::string_view key) {
  if (key.empty()) throw Error("The RC4 key must not be empty");
  TRc4State& state = SharedState();
  for (size_t i = 0; i < 256; ++i) {
    state.K[i] = static_cast<uint8_t>(key[i % key.size()]);
    state.S[i] = static_cast<uint8_t>(i);
  }
  uint8_t j = 0;
  for (size_t i = 0; i < 256; ++i) {
    j = static_cast<uint8_t>(j + state.S[i] + state.K[i]);
    std::swap(state.S[i], state.S[j]);
  }
}

void Rc4CryptStream(std::string& stream) {
  // A straight pass over the buffer: the same bytes as positioned reads and
  // writes through StreamByteAt and SetStreamByteAt, without their checks.
  auto& S = SharedState().S;
  uint8_t i = 0, j = 0;
  for (char& byte : stream) {
    i = static_cast<uint8_t>(i + 1);
    j = static_cast<uint8_t>(j + S[i]);
    std::swap(S[i], S[j]);
    byte = static_cast<char>(static_cast<uint8_t>(byte) ^ S[static_cast<uint8_t>(S[i] + S[j])]);
  }
}

unsigned char StreamByteAt(size_t position, const std::string& stream) {
  CheckPosition(position, stream);
  return static_cast<unsigned char>(stream[position]);
}

void SetStreamByteAt(size_t position, unsigned char value, std::string& stream) {
  CheckPosition(position, stream);
  stream[position] = static_cast<char>(value);
}

}  // namespace vexmoor
