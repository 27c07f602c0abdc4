// The minisign texts an update service sends or a user gives: signatures,
// public keys (setting line or .pub file), secret key files; and the whole
// check of a list against its signature. The input is the list, a zero
// byte, then the signature text; each part is also read as every kind.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/Errors.h"
#include "updater/Minisign.h"
#include "updater/UpdateTrust.h"

namespace {

using namespace vexmoor;

const TMinisignPublicKey& FixedKey() {
  static const TMinisignPublicKey key = [] {
    TMinisignPublicKey made;
    for (size_t i = 0; i < made.Key.size(); ++i) made.Key[i] = static_cast<uint8_t>(i * 7 + 1);
    return made;
  }();
  return key;
}

void ReadEveryKind(std::string_view text, std::string_view message) {
  try {
    const TMinisignSignature signature = ParseMinisignSignature(text);
    TMinisignPublicKey key = FixedKey();
    key.KeyId = signature.KeyId;
    (void)MinisignVerifyFailure(message, signature, key);
  } catch (const FormatError&) {
  }
  try {
    (void)MinisignPublicKeyLine(ParseMinisignPublicKey(text));
  } catch (const FormatError&) {
  }
  try {
    (void)MinisignKeyIdText(ParseMinisignSecretKey(text).KeyId);
  } catch (const FormatError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  const std::string_view list = input.substr(0, split);
  const std::string_view signature =
      split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
  ReadEveryKind(signature, list);
  ReadEveryKind(list, signature);
  try {
    VerifyUpdateList(list, signature, {FixedKey()}, "http://localhost/update/update2.cgi",
                     "http://localhost/update/update2.cgi.minisig");
  } catch (const EUntrustedList&) {
  }
  return 0;
}
