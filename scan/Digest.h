// The strong checksums a dat may give beside the CRC-32 (MD5, SHA-1,
// SHA-256), summed through OpenSSL's libcrypto, which picks the processor's
// hash instructions (the SHA extensions of current x86 and ARM processors)
// by itself. Any number of kinds are summed from one pass over the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "catalogue/DigestKind.h"

namespace vexmoor {

// `size` bytes of a sum as the lower-case hex digits a TDigests holds.
std::string DigestHex(const unsigned char* bytes, size_t size);

// The sums of one image, each as lower-case hex digits, empty where not
// summed.
struct TDigests {
  std::string Md5;
  std::string Sha1;
  std::string Sha256;

  const std::string& Of(uint8_t kind) const;
  std::string& Of(uint8_t kind);
  // The kinds held.
  uint8_t Kinds() const;
  friend bool operator==(const TDigests&, const TDigests&) = default;
};

// The sums of the chosen kinds over bytes fed in pieces. Copyable: a copy
// goes on from the same bytes (a trimmed dump's padding is added to a copy).
class THasher {
 public:
  // Throws Error when libcrypto cannot make a context (out of memory).
  explicit THasher(uint8_t kinds);
  ~THasher();
  THasher(const THasher& other);
  THasher& operator=(const THasher&) = delete;

  uint8_t Kinds() const { return kinds_; }
  void Add(const uint8_t* data, size_t size);
  // `count` bytes of value `byte`, as if fed one block after another.
  void AddRun(uint8_t byte, uint64_t count);
  // The sums; the hasher must not be fed afterwards.
  TDigests Finish();

 private:
  struct TState;
  uint8_t kinds_;
  std::unique_ptr<TState> state_;
};

}  // namespace vexmoor
