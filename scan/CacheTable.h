// The scan-result cache: which CRC-32 values earlier scans found, in memory
// (CacheTable) and on disk (the ".qcache" file beside a dat). The file layout
// is described in docs/formats/qcache.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vexmoor {

struct TCachePair {
  uint32_t Crc = 0;
  uint8_t Flag = 0;  // the status that entries with this CRC get at load
};

// Pairs in insertion order, at most one per CRC when built by CacheSet (a
// file written elsewhere may repeat a CRC: the first pair then answers).
// Lookups go through a hash index, so they cost the same for 10 or 10^5 pairs
// and give exactly what a search from the first pair would give.
class TCacheTable {
 public:
  void Clear();
  size_t Count() const { return pairs_.size(); }
  const std::vector<TCachePair>& Pairs() const { return pairs_; }
  // Position of the first pair with `crc`, or -1.
  std::ptrdiff_t Find(uint32_t crc) const;
  // Appends without looking for an earlier pair of the same CRC (file order
  // is kept as it stands); the first pair of a CRC stays the one found.
  void Append(uint32_t crc, uint8_t flag);
  void SetFlagAt(size_t position, uint8_t flag) { pairs_[position].Flag = flag; }

 private:
  std::vector<TCachePair> pairs_;
  std::unordered_map<uint32_t, size_t> first_;
};

// The status cached scans record for a found entry.
constexpr uint8_t kCacheFlagCached = 1;

// Sets the flag of the pair with `crc`, or appends (crc, flag) at the end.
void CacheSet(TCacheTable& table, uint32_t crc, uint8_t flag);

// The flag recorded for `crc`, read as a signed 8-bit value, or -1 when the
// table has no pair for it.
int32_t CacheLookup(const TCacheTable& table, uint32_t crc);

// Replaces `table` with the pairs of the cache file at `path`. A missing file,
// one without the "QCAC" magic, or one too short to hold the count leaves the
// table empty without an error. A count larger than the records present is
// cut to the whole records the file holds, so a damaged file never makes this
// read past its end or allocate more than its size. Throws FileOpenError for
// a file that exists but cannot be opened, IoError when reading fails.
void ReadCacheFile(TCacheTable& table, const std::string& path);

// Writes `table` to `path` (10 + 5 x pairs bytes). The file is replaced
// atomically: a crash or a full disk leaves the previous file in place.
// Throws IoError.
void WriteCacheFile(const TCacheTable& table, const std::string& path);

// The bytes WriteCacheFile stores, and the parse ReadCacheFile applies to
// them; exposed for tests and the fuzz target.
std::string EncodeCacheFile(const TCacheTable& table);
void DecodeCacheFile(TCacheTable& table, std::string_view bytes);

}  // namespace vexmoor
