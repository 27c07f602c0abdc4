#include "catalogue/DigestKind.h"

#include <array>

#include "catalogue/RomItem.h"

namespace vexmoor {

namespace {

constexpr std::array<uint8_t, 3> kKinds = {kDigestMd5, kDigestSha1, kDigestSha256};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

}  // namespace

uint8_t StrongestDigest(uint8_t kinds) {
  for (auto kind = kKinds.rbegin(); kind != kKinds.rend(); ++kind)
    if (kinds & *kind) return *kind;
  return 0;
}

const char* DigestKey(uint8_t kind) {
  return kind == kDigestMd5 ? "md5" : kind == kDigestSha1 ? "sha1" : kind == kDigestSha256 ? "sha256" : "";
}

const char* DigestCaption(uint8_t kind) {
  return kind == kDigestMd5      ? "MD5"
         : kind == kDigestSha1   ? "SHA-1"
         : kind == kDigestSha256 ? "SHA-256"
                                 : "";
}

size_t DigestHexDigits(uint8_t kind) {
  return kind == kDigestMd5 ? 32 : kind == kDigestSha1 ? 40 : kind == kDigestSha256 ? 64 : 0;
}

bool SameHexDigest(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

uint8_t DatDigests(const TRomItem& item) {
  return uint8_t((item.Md5.empty() ? 0 : kDigestMd5) | (item.Sha1.empty() ? 0 : kDigestSha1) |
                 (item.Sha256.empty() ? 0 : kDigestSha256));
}

std::string_view DatDigest(const TRomItem& item, uint8_t kind) {
  if (kind == kDigestMd5) return item.Md5;
  if (kind == kDigestSha1) return item.Sha1;
  if (kind == kDigestSha256) return item.Sha256;
  return {};
}

}  // namespace vexmoor
