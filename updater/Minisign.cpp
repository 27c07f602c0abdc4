#include "updater/Minisign.h"

#include <sodium.h>

#include <cstdio>
#include <cstring>

#include "catalogue/TextLines.h"
#include "platform/Errors.h"
#include "updater/Sodium.h"

namespace vexmoor {

namespace {

constexpr std::string_view kUntrustedPrefix = "untrusted comment: ";
constexpr std::string_view kTrustedPrefix = "trusted comment: ";
constexpr char kLegacyAlgorithm[] = "Ed";
constexpr char kPrehashedAlgorithm[] = "ED";
constexpr char kChecksumAlgorithm[] = "B2";
// The longest line read: minisign's trusted comments stay below 8 KiB.
constexpr size_t kMaxLineSize = 8192;

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The lines of `text` without their ends; blank lines at the end dropped.
std::vector<std::string_view> KeyLines(std::string_view text, std::string_view what) {
  std::vector<std::string_view> lines = SplitLines(text);
  while (!lines.empty() && TrimBlanks(lines.back()).empty()) lines.pop_back();
  for (std::string_view line : lines) {
    if (line.size() > kMaxLineSize) throw FormatError(std::string(what) + ": a line is too long");
  }
  return lines;
}

// Decodes one base64 line into exactly `size` bytes.
std::vector<uint8_t> DecodeBase64(std::string_view line, size_t size, std::string_view what) {
  line = TrimBlanks(line);
  std::vector<uint8_t> bytes(size + 1);
  size_t length = 0;
  const char* end = nullptr;
  if (sodium_base642bin(bytes.data(), bytes.size(), line.data(), line.size(), nullptr, &length,
                        &end, sodium_base64_VARIANT_ORIGINAL) != 0 ||
      end != line.data() + line.size()) {
    throw FormatError(std::string(what) + " is not valid base64");
  }
  if (length != size) {
    throw FormatError(std::string(what) + " has " + std::to_string(length) + " bytes instead of " +
                      std::to_string(size));
  }
  bytes.resize(size);
  return bytes;
}

std::string EncodeBase64(const uint8_t* data, size_t size) {
  std::string text(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(text.data(), text.size(), data, size, sodium_base64_VARIANT_ORIGINAL);
  text.resize(std::strlen(text.c_str()));
  return text;
}

bool HasAlgorithm(const std::vector<uint8_t>& bytes, size_t at, const char* algorithm) {
  return bytes[at] == static_cast<uint8_t>(algorithm[0]) &&
         bytes[at + 1] == static_cast<uint8_t>(algorithm[1]);
}

template <size_t N>
void CopyOut(std::array<uint8_t, N>& to, const std::vector<uint8_t>& from, size_t at) {
  std::memcpy(to.data(), from.data() + at, N);
}

std::array<uint8_t, crypto_generichash_BYTES_MAX> Blake2b512(std::string_view message) {
  std::array<uint8_t, crypto_generichash_BYTES_MAX> hash{};
  crypto_generichash(hash.data(), hash.size(), reinterpret_cast<const uint8_t*>(message.data()),
                     message.size(), nullptr, 0);
  return hash;
}

// The secret key file's checksum: BLAKE2b-256 of algorithm, key ID and key.
std::array<uint8_t, 32> SecretKeyChecksum(const TMinisignSecretKey& key) {
  std::array<uint8_t, 32> sum{};
  crypto_generichash_state state;
  crypto_generichash_init(&state, nullptr, 0, sum.size());
  crypto_generichash_update(&state, reinterpret_cast<const uint8_t*>(kLegacyAlgorithm), 2);
  crypto_generichash_update(&state, key.KeyId.data(), key.KeyId.size());
  crypto_generichash_update(&state, key.Key.data(), key.Key.size());
  crypto_generichash_final(&state, sum.data(), sum.size());
  return sum;
}

std::string TrustedSignedBytes(const TMinisignSignature& signature) {
  return std::string(reinterpret_cast<const char*>(signature.Signature.data()),
                     signature.Signature.size()) +
         signature.TrustedComment;
}

}  // namespace

TMinisignPublicKey ParseMinisignPublicKey(std::string_view text) {
  std::vector<std::string_view> lines = KeyLines(text, "the public key");
  if (!lines.empty() && StartsWith(lines.front(), kUntrustedPrefix)) lines.erase(lines.begin());
  if (lines.size() != 1)
    throw FormatError("the public key is not one minisign key line (\"RW...\")");
  const std::vector<uint8_t> bytes = DecodeBase64(lines[0], 42, "the public key");
  if (!HasAlgorithm(bytes, 0, kLegacyAlgorithm))
    throw FormatError("the public key is not an Ed25519 minisign key");
  TMinisignPublicKey key;
  CopyOut(key.KeyId, bytes, 2);
  CopyOut(key.Key, bytes, 10);
  return key;
}

TMinisignSignature ParseMinisignSignature(std::string_view text) {
  const std::vector<std::string_view> lines = KeyLines(text, "the signature");
  if (lines.size() != 4 || !StartsWith(lines[0], kUntrustedPrefix) ||
      !StartsWith(lines[2], kTrustedPrefix)) {
    throw FormatError(
        "the signature is not a minisign signature (four lines: untrusted comment, signature, "
        "trusted comment, global signature)");
  }
  const std::vector<uint8_t> bytes = DecodeBase64(lines[1], 74, "the signature");
  TMinisignSignature signature;
  if (HasAlgorithm(bytes, 0, kPrehashedAlgorithm)) {
    signature.Prehashed = true;
  } else if (!HasAlgorithm(bytes, 0, kLegacyAlgorithm)) {
    throw FormatError("the signature's algorithm is not Ed25519");
  }
  CopyOut(signature.KeyId, bytes, 2);
  CopyOut(signature.Signature, bytes, 10);
  signature.TrustedComment = std::string(lines[2].substr(kTrustedPrefix.size()));
  const std::vector<uint8_t> global = DecodeBase64(lines[3], 64, "the global signature");
  CopyOut(signature.GlobalSignature, global, 0);
  return signature;
}

TMinisignSecretKey ParseMinisignSecretKey(std::string_view text) {
  std::vector<std::string_view> lines = KeyLines(text, "the secret key");
  if (!lines.empty() && StartsWith(lines.front(), kUntrustedPrefix)) lines.erase(lines.begin());
  if (lines.size() != 1) throw FormatError("the secret key is not a minisign secret key file");
  const std::vector<uint8_t> bytes = DecodeBase64(lines[0], 158, "the secret key");
  if (!HasAlgorithm(bytes, 0, kLegacyAlgorithm) || !HasAlgorithm(bytes, 4, kChecksumAlgorithm))
    throw FormatError("the secret key is not an Ed25519 minisign key");
  if (bytes[2] != 0 || bytes[3] != 0) {
    throw FormatError(
        "the secret key is encrypted with a password; sign the list with "
        "\"minisign -S -s KEY -m update2.cgi\" instead, or make a key without a password "
        "(\"minisign -G -W\")");
  }
  TMinisignSecretKey key;
  CopyOut(key.KeyId, bytes, 54);
  CopyOut(key.Key, bytes, 62);
  std::array<uint8_t, 32> stored{};
  CopyOut(stored, bytes, 126);
  // `minisign -G -W` leaves the checksum of an unencrypted key zero.
  if (stored != std::array<uint8_t, 32>{} && SecretKeyChecksum(key) != stored)
    throw FormatError("the secret key is damaged (its checksum does not match)");
  return key;
}

std::string MinisignKeyIdText(const TMinisignKeyId& id) {
  std::string text;
  for (size_t i = id.size(); i-- > 0;) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", id[i]);
    text += digits;
  }
  return text;
}

std::string MinisignPublicKeyLine(const TMinisignPublicKey& key) {
  std::array<uint8_t, 42> bytes{};
  std::memcpy(bytes.data(), kLegacyAlgorithm, 2);
  std::memcpy(bytes.data() + 2, key.KeyId.data(), key.KeyId.size());
  std::memcpy(bytes.data() + 10, key.Key.data(), key.Key.size());
  return EncodeBase64(bytes.data(), bytes.size());
}

TMinisignPublicKey MinisignPublicKeyOf(const TMinisignSecretKey& key) {
  TMinisignPublicKey pub;
  pub.KeyId = key.KeyId;
  crypto_sign_ed25519_sk_to_pk(pub.Key.data(), key.Key.data());
  return pub;
}

std::optional<std::string> MinisignVerifyFailure(std::string_view message,
                                                 const TMinisignSignature& signature,
                                                 const TMinisignPublicKey& key) {
  RequireSodium();
  if (signature.KeyId != key.KeyId) {
    return "it is signed by key ID " + MinisignKeyIdText(signature.KeyId) + ", not by key ID " +
           MinisignKeyIdText(key.KeyId);
  }
  const auto hash = Blake2b512(message);
  const auto* signedBytes =
      signature.Prehashed ? hash.data() : reinterpret_cast<const uint8_t*>(message.data());
  const size_t signedSize = signature.Prehashed ? hash.size() : message.size();
  if (crypto_sign_verify_detached(signature.Signature.data(), signedBytes, signedSize,
                                  key.Key.data()) != 0) {
    return "the signature does not match the list (the list or its signature was changed after "
           "signing)";
  }
  const std::string global = TrustedSignedBytes(signature);
  if (crypto_sign_verify_detached(signature.GlobalSignature.data(),
                                  reinterpret_cast<const uint8_t*>(global.data()), global.size(),
                                  key.Key.data()) != 0) {
    return "the signature's trusted comment was changed after signing";
  }
  return std::nullopt;
}

std::string MinisignSign(std::string_view message, const TMinisignSecretKey& key,
                         std::string_view trustedComment) {
  RequireSodium();
  TMinisignSignature signature;
  signature.Prehashed = true;
  signature.KeyId = key.KeyId;
  signature.TrustedComment = std::string(trustedComment);
  const auto hash = Blake2b512(message);
  crypto_sign_detached(signature.Signature.data(), nullptr, hash.data(), hash.size(),
                       key.Key.data());
  const std::string global = TrustedSignedBytes(signature);
  crypto_sign_detached(signature.GlobalSignature.data(), nullptr,
                       reinterpret_cast<const uint8_t*>(global.data()), global.size(),
                       key.Key.data());
  std::array<uint8_t, 74> bytes{};
  std::memcpy(bytes.data(), kPrehashedAlgorithm, 2);
  std::memcpy(bytes.data() + 2, key.KeyId.data(), key.KeyId.size());
  std::memcpy(bytes.data() + 10, signature.Signature.data(), signature.Signature.size());
  return std::string(kUntrustedPrefix) + "signature from vexmoor secret key\n" +
         EncodeBase64(bytes.data(), bytes.size()) + "\n" + std::string(kTrustedPrefix) +
         signature.TrustedComment + "\n" +
         EncodeBase64(signature.GlobalSignature.data(), signature.GlobalSignature.size()) + "\n";
}

TMinisignSecretKey MinisignGenerateKey() {
  RequireSodium();
  TMinisignSecretKey key;
  std::array<uint8_t, 32> pub{};
  crypto_sign_keypair(pub.data(), key.Key.data());
  randombytes_buf(key.KeyId.data(), key.KeyId.size());
  return key;
}

std::string MinisignSecretKeyFileText(const TMinisignSecretKey& key) {
  std::array<uint8_t, 158> bytes{};
  std::memcpy(bytes.data(), kLegacyAlgorithm, 2);
  std::memcpy(bytes.data() + 4, kChecksumAlgorithm, 2);
  std::memcpy(bytes.data() + 54, key.KeyId.data(), key.KeyId.size());
  std::memcpy(bytes.data() + 62, key.Key.data(), key.Key.size());
  const std::array<uint8_t, 32> sum = SecretKeyChecksum(key);
  std::memcpy(bytes.data() + 126, sum.data(), sum.size());
  return std::string(kUntrustedPrefix) + "minisign secret key " + MinisignKeyIdText(key.KeyId) +
         "\n" + EncodeBase64(bytes.data(), bytes.size()) + "\n";
}

std::string MinisignPublicKeyFileText(const TMinisignPublicKey& key) {
  return std::string(kUntrustedPrefix) + "minisign public key " + MinisignKeyIdText(key.KeyId) +
         "\n" + MinisignPublicKeyLine(key) + "\n";
}

}  // namespace vexmoor
