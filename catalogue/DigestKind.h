// The strong checksums a dat may give for a rom beside its CRC-32, named
// as kinds; the sums themselves are the scan's (scan/Digest).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vexmoor {

struct TRomItem;

// The kinds as bits, so a set of them is one byte. Their order is their
// strength: a dat's strongest checksum is the highest bit it gives.
enum TDigestKind : uint8_t {
  kDigestMd5 = 1,
  kDigestSha1 = 2,
  kDigestSha256 = 4,
};
inline constexpr uint8_t kAllDigests = kDigestMd5 | kDigestSha1 | kDigestSha256;

// The strongest kind in `kinds` (0 for none).
uint8_t StrongestDigest(uint8_t kinds);
// "md5", "sha1", "sha256"; "" for anything else.
const char* DigestKey(uint8_t kind);
// "MD5", "SHA-1", "SHA-256"; "" for anything else.
const char* DigestCaption(uint8_t kind);
// How many hexadecimal digits a sum of `kind` has (32, 40, 64; else 0).
size_t DigestHexDigits(uint8_t kind);

// True when `a` and `b` are the same hex digits, whatever their case.
bool SameHexDigest(std::string_view a, std::string_view b);

// The kinds `item` gives a sum of (its Md5, Sha1 and Sha256 that are set).
uint8_t DatDigests(const TRomItem& item);
// The sum of `kind` that `item` gives ("" when none).
std::string_view DatDigest(const TRomItem& item, uint8_t kind);

}  // namespace vexmoor
