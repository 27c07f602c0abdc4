// Which keys the updater trusts, and the check that an update list carries
// a valid signature by one of them before any of its lines is read.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/Errors.h"
#include "updater/Minisign.h"

namespace vexmoor {

// A list that offers nothing because no trusted key signed it, or because
// no key is trusted at all. The text says which URL, which key and what to do.
class EUntrustedList : public Error {
 public:
  using Error::Error;
};

// The default service's public key given at build time (the CMake cache
// variable VEXMOOR_UPDATE_PUBLIC_KEY), "" when the build gives none.
std::string_view BuiltInUpdatePublicKey();

// The keys to trust: the built-in one, the `UpdatePublicKey` setting (a
// minisign key line; blank for none) and `extraKeys` (texts of `.pub`
// files, each named by `extraNames` in errors). Throws FormatError naming
// the setting or file whose key does not read.
std::vector<TMinisignPublicKey> TrustedUpdateKeys(std::string_view setting,
                                                  const std::vector<std::string>& extraKeys = {},
                                                  const std::vector<std::string>& extraNames = {});

// What to tell when no key is trusted: that updates need one, and how to set it.
std::string NoTrustedKeyText();

// Returns normally when `signatureText` (from `signatureUrl`) is a minisign
// signature of `list` (from `listUrl`) by one of `keys`; throws
// EUntrustedList otherwise (also for an empty `keys`).
void VerifyUpdateList(std::string_view list, std::string_view signatureText,
                      const std::vector<TMinisignPublicKey>& keys, const std::string& listUrl,
                      const std::string& signatureUrl);

// The EUntrustedList text for a signature that could not be fetched.
std::string UnsignedListText(const std::string& listUrl, const std::string& signatureUrl,
                             std::string_view reason);

}  // namespace vexmoor
