#include "updater/Sodium.h"

#include <sodium.h>

#include <vector>

#include "platform/Errors.h"
#include "platform/File.h"

namespace vexmoor {

void RequireSodium() {
  static const int started = sodium_init();
  if (started < 0) throw Error("the cryptography library libsodium could not start");
}

struct TSha256::TState {
  crypto_hash_sha256_state State;
};

TSha256::TSha256() : state_(std::make_unique<TState>()) {
  RequireSodium();
  crypto_hash_sha256_init(&state_->State);
}

TSha256::~TSha256() = default;

void TSha256::Add(std::string_view data) {
  crypto_hash_sha256_update(&state_->State, reinterpret_cast<const unsigned char*>(data.data()),
                            data.size());
}

std::string TSha256::FinishHex() {
  unsigned char sum[crypto_hash_sha256_BYTES];
  crypto_hash_sha256_final(&state_->State, sum);
  char hex[crypto_hash_sha256_BYTES * 2 + 1];
  sodium_bin2hex(hex, sizeof hex, sum, sizeof sum);
  return hex;
}

std::string FileSha256Hex(const std::string& path) {
  TInputFile file(path);
  TSha256 sum;
  std::vector<char> block(size_t{1} << 20);
  while (const size_t got = file.Read(block.data(), block.size()))
    sum.Add(std::string_view(block.data(), got));
  return sum.FinishHex();
}

bool IsSha256Hex(std::string_view text) {
  if (text.size() != crypto_hash_sha256_BYTES * 2) return false;
  for (char c : text) {
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) return false;
  }
  return true;
}

}  // namespace vexmoor
