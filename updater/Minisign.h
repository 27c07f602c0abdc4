// Detached Ed25519 signatures in the minisign format, so that a publisher
// signs the update list with the `minisign` tool (or `vexmoor publish
// --sign`) and the client verifies it before reading a single line.
// Cryptography comes from libsodium; this unit only reads and writes the
// text around it. docs/formats/update-signature.md has the layouts.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexmoor {

using TMinisignKeyId = std::array<uint8_t, 8>;

struct TMinisignPublicKey {
  TMinisignKeyId KeyId{};
  std::array<uint8_t, 32> Key{};
};

struct TMinisignSecretKey {
  TMinisignKeyId KeyId{};
  std::array<uint8_t, 64> Key{};  // libsodium's secret key: seed and public key
};

struct TMinisignSignature {
  bool Prehashed = false;  // "ED": the BLAKE2b-512 hash of the message was signed
  TMinisignKeyId KeyId{};
  std::array<uint8_t, 64> Signature{};
  std::string TrustedComment;                 // the text after "trusted comment: "
  std::array<uint8_t, 64> GlobalSignature{};  // over Signature + TrustedComment
};

// A public key: the base64 line alone (as the UpdatePublicKey setting holds
// it) or a `.pub` file ("untrusted comment:" line, then the base64 line).
// Throws FormatError saying what is wrong.
TMinisignPublicKey ParseMinisignPublicKey(std::string_view text);

// A `.minisig` file: "untrusted comment:" line, base64 signature line,
// "trusted comment:" line, base64 global signature line; CR LF or LF line
// ends. Throws FormatError saying what is wrong.
TMinisignSignature ParseMinisignSignature(std::string_view text);

// An unencrypted secret key file (`minisign -G -W`). Throws FormatError for
// an encrypted key (with the advice to sign with `minisign -S`), a damaged
// one, or one whose checksum does not match.
TMinisignSecretKey ParseMinisignSecretKey(std::string_view text);

// The key ID as minisign prints it: 16 upper-case hex digits of the ID read
// as a little-endian number.
std::string MinisignKeyIdText(const TMinisignKeyId& id);

// The base64 line of a public key (what the UpdatePublicKey setting holds).
std::string MinisignPublicKeyLine(const TMinisignPublicKey& key);

// The public half of a secret key.
TMinisignPublicKey MinisignPublicKeyOf(const TMinisignSecretKey& key);

// Why `signature` does not show that `message` comes from `key`, or nullopt
// when it does: the key IDs differ, the signature over the message (or its
// BLAKE2b-512 hash) fails, or the signature over the trusted comment fails.
std::optional<std::string> MinisignVerifyFailure(std::string_view message,
                                                 const TMinisignSignature& signature,
                                                 const TMinisignPublicKey& key);

// A `.minisig` text for `message`, prehashed as minisign signs by default,
// with `trustedComment` (no line breaks) signed along.
std::string MinisignSign(std::string_view message, const TMinisignSecretKey& key,
                         std::string_view trustedComment);

// A fresh key pair; for tests and key set-up.
TMinisignSecretKey MinisignGenerateKey();

// The files `minisign -G -W` writes for `key`: the unencrypted secret key
// (with its checksum) and the public key, each with an untrusted comment.
std::string MinisignSecretKeyFileText(const TMinisignSecretKey& key);
std::string MinisignPublicKeyFileText(const TMinisignPublicKey& key);

}  // namespace vexmoor
