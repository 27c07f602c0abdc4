#include "updater/UpdateTrust.h"

#include "catalogue/TextLines.h"

#ifndef VEXMOOR_UPDATE_PUBLIC_KEY
#define VEXMOOR_UPDATE_PUBLIC_KEY ""
#endif

namespace vexmoor {

namespace {

constexpr std::string_view kHowToTrust =
    "If you trust the service, put its minisign public key (the \"RW...\" line of its .pub "
    "file) into the UpdatePublicKey setting (on Linux in ~/.config/SOFTWARE/Vexmoor.conf under "
    "[General]; on Windows the string value UpdatePublicKey under "
    "HKEY_CURRENT_USER\\SOFTWARE\\Vexmoor), or give `vexmoor update` the file with "
    "--public-key FILE.";

std::string KeyIdsText(const std::vector<TMinisignPublicKey>& keys) {
  std::string text;
  for (const TMinisignPublicKey& key : keys)
    text += (text.empty() ? "" : ", ") + MinisignKeyIdText(key.KeyId);
  return text;
}

void AddKey(std::vector<TMinisignPublicKey>& keys, std::string_view text, const std::string& name) {
  if (TrimBlanks(text).empty()) return;
  try {
    keys.push_back(ParseMinisignPublicKey(text));
  } catch (const FormatError& error) {
    throw FormatError(name + " holds no usable key: " + error.what());
  }
}

}  // namespace

std::string_view BuiltInUpdatePublicKey() { return VEXMOOR_UPDATE_PUBLIC_KEY; }

std::vector<TMinisignPublicKey> TrustedUpdateKeys(std::string_view setting,
                                                  const std::vector<std::string>& extraKeys,
                                                  const std::vector<std::string>& extraNames) {
  std::vector<TMinisignPublicKey> keys;
  AddKey(keys, BuiltInUpdatePublicKey(), "the built-in update key");
  AddKey(keys, setting, "the UpdatePublicKey setting");
  for (size_t i = 0; i < extraKeys.size(); ++i)
    AddKey(keys, extraKeys[i], i < extraNames.size() ? "\"" + extraNames[i] + "\"" : "a key");
  return keys;
}

std::string NoTrustedKeyText() {
  return "Updates need the update service's public key, and none is set: without it no update "
         "list can be checked, so nothing is offered. " +
         std::string(kHowToTrust);
}

std::string UnsignedListText(const std::string& listUrl, const std::string& signatureUrl,
                             std::string_view reason) {
  return "The update list " + listUrl + " is not signed: its signature " + signatureUrl +
         " could not be fetched (" + std::string(reason) +
         "). Nothing is offered. Ask the service's publisher to sign the list "
         "(minisign -S -m update2.cgi), or check the UpdateURL setting.";
}

void VerifyUpdateList(std::string_view list, std::string_view signatureText,
                      const std::vector<TMinisignPublicKey>& keys, const std::string& listUrl,
                      const std::string& signatureUrl) {
  if (keys.empty()) throw EUntrustedList(NoTrustedKeyText());
  TMinisignSignature signature;
  try {
    signature = ParseMinisignSignature(signatureText);
  } catch (const FormatError& error) {
    throw EUntrustedList("The update list " + listUrl + " is refused: its signature " +
                         signatureUrl + " does not read (" + error.what() +
                         "). Nothing is offered. Ask the service's publisher to sign the list "
                         "again (minisign -S -m update2.cgi).");
  }
  for (const TMinisignPublicKey& key : keys) {
    if (key.KeyId != signature.KeyId) continue;
    const auto failure = MinisignVerifyFailure(list, signature, key);
    if (!failure) return;
    throw EUntrustedList("The update list " + listUrl + " is refused: " + *failure + " (key ID " +
                         MinisignKeyIdText(key.KeyId) +
                         "). Nothing is offered; the list may have been tampered with on its "
                         "way. Try again later, or tell the service's publisher.");
  }
  throw EUntrustedList("The update list " + listUrl + " is refused: it is signed by key ID " +
                       MinisignKeyIdText(signature.KeyId) +
                       ", which is not trusted here (trusted: " + KeyIdsText(keys) +
                       "). Nothing is offered. " + std::string(kHowToTrust));
}

}  // namespace vexmoor
