#include "scan/Digest.h"

#include <openssl/evp.h>

#include <array>
#include <cstring>

#include "platform/Errors.h"

namespace vexmoor {

namespace {

constexpr std::array<uint8_t, 3> kKinds = {kDigestMd5, kDigestSha1, kDigestSha256};

const EVP_MD* Algorithm(uint8_t kind) {
  switch (kind) {
    case kDigestMd5:
      return EVP_md5();
    case kDigestSha1:
      return EVP_sha1();
    default:
      return EVP_sha256();
  }
}

}  // namespace

std::string DigestHex(const unsigned char* bytes, size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(size * 2, '0');
  for (size_t i = 0; i < size; ++i) {
    text[2 * i] = kDigits[bytes[i] >> 4];
    text[2 * i + 1] = kDigits[bytes[i] & 15];
  }
  return text;
}

const std::string& TDigests::Of(uint8_t kind) const {
  return kind == kDigestMd5 ? Md5 : kind == kDigestSha1 ? Sha1 : Sha256;
}

std::string& TDigests::Of(uint8_t kind) {
  return kind == kDigestMd5 ? Md5 : kind == kDigestSha1 ? Sha1 : Sha256;
}

uint8_t TDigests::Kinds() const {
  uint8_t kinds = 0;
  for (const uint8_t kind : kKinds)
    if (!Of(kind).empty()) kinds |= kind;
  return kinds;
}

// One libcrypto context per kind summed.
struct THasher::TState {
  std::array<EVP_MD_CTX*, 3> Contexts{};
  ~TState() {
    for (EVP_MD_CTX* context : Contexts) EVP_MD_CTX_free(context);
  }
};

THasher::THasher(uint8_t kinds) : kinds_(kinds & kAllDigests), state_(std::make_unique<TState>()) {
  for (size_t i = 0; i < kKinds.size(); ++i) {
    if (!(kinds_ & kKinds[i])) continue;
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    state_->Contexts[i] = context;
    if (!context || EVP_DigestInit_ex(context, Algorithm(kKinds[i]), nullptr) != 1)
      throw Error("The checksum library cannot start a sum.");
  }
}

THasher::~THasher() = default;

THasher::THasher(const THasher& other) : kinds_(other.kinds_), state_(std::make_unique<TState>()) {
  for (size_t i = 0; i < kKinds.size(); ++i) {
    if (!other.state_->Contexts[i]) continue;
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    state_->Contexts[i] = context;
    if (!context || EVP_MD_CTX_copy_ex(context, other.state_->Contexts[i]) != 1)
      throw Error("The checksum library cannot copy a sum.");
  }
}

void THasher::Add(const uint8_t* data, size_t size) {
  for (EVP_MD_CTX* context : state_->Contexts)
    if (context) EVP_DigestUpdate(context, data, size);
}

void THasher::AddRun(uint8_t byte, uint64_t count) {
  std::array<uint8_t, 64 << 10> run;
  std::memset(run.data(), byte, run.size());
  while (count > 0) {
    const size_t piece = count < run.size() ? size_t(count) : run.size();
    Add(run.data(), piece);
    count -= piece;
  }
}

TDigests THasher::Finish() {
  TDigests digests;
  for (size_t i = 0; i < kKinds.size(); ++i) {
    EVP_MD_CTX* context = state_->Contexts[i];
    if (!context) continue;
    unsigned char sum[EVP_MAX_MD_SIZE];
    unsigned size = 0;
    if (EVP_DigestFinal_ex(context, sum, &size) != 1)
      throw Error("The checksum library cannot end a sum.");
    digests.Of(kKinds[i]) = DigestHex(sum, size);
  }
  return digests;
}

}  // namespace vexmoor
