#include "scan/CacheTable.h"

#include <algorithm>

#include "catalogue/General.h"
#include "platform/File.h"

namespace vexmoor {

namespace {

constexpr std::string_view kMagic = "QCAC";
constexpr uint16_t kFixedWord = 1000;  // written, never examined
constexpr size_t kHeaderSize = 10;
constexpr size_t kRecordSize = 5;

uint32_t LittleEndian32(const unsigned char* bytes) {
  return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
         uint32_t(bytes[3]) << 24;
}

void PutLittleEndian(std::string& out, uint32_t value, int width) {
  for (int i = 0; i < width; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The number of whole records `available` bytes after the header can hold,
// capped by the count the header claims.
size_t RecordsPresent(uint32_t count, uint64_t available) {
  return static_cast<size_t>(std::min<uint64_t>(count, available / kRecordSize));
}

void AppendRecords(TCacheTable& table, std::string_view records) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(records.data());
  for (size_t at = 0; at + kRecordSize <= records.size(); at += kRecordSize) {
    table.Append(LittleEndian32(bytes + at), bytes[at + 4]);
  }
}

}  // namespace

void TCacheTable::Clear() {
  pairs_.clear();
  first_.clear();
}

std::ptrdiff_t TCacheTable::Find(uint32_t crc) const {
  const auto found = first_.find(crc);
  return found == first_.end() ? -1 : static_cast<std::ptrdiff_t>(found->second);
}

void TCacheTable::Append(uint32_t crc, uint8_t flag) {
  first_.emplace(crc, pairs_.size());
  pairs_.push_back({crc, flag});
}

void CacheSet(TCacheTable& table, uint32_t crc, uint8_t flag) {
  const std::ptrdiff_t at = table.Find(crc);
  if (at >= 0) {
    table.SetFlagAt(static_cast<size_t>(at), flag);
  } else {
    table.Append(crc, flag);
  }
}

int32_t CacheLookup(const TCacheTable& table, uint32_t crc) {
  const std::ptrdiff_t at = table.Find(crc);
  if (at < 0) return -1;
  return static_cast<int8_t>(table.Pairs()[static_cast<size_t>(at)].Flag);
}

std::string EncodeCacheFile(const TCacheTable& table) {
  std::string out(kMagic);
  out.reserve(kHeaderSize + kRecordSize * table.Count());
  PutLittleEndian(out, kFixedWord, 2);
  PutLittleEndian(out, static_cast<uint32_t>(table.Count()), 4);
  for (const TCachePair& pair : table.Pairs()) {
    PutLittleEndian(out, pair.Crc, 4);
    out += static_cast<char>(pair.Flag);
  }
  return out;
}

void DecodeCacheFile(TCacheTable& table, std::string_view bytes) {
  table.Clear();
  if (bytes.size() < kHeaderSize || bytes.substr(0, kMagic.size()) != kMagic) return;
  const uint32_t count = LittleEndian32(reinterpret_cast<const unsigned char*>(bytes.data()) + 6);
  const size_t records = RecordsPresent(count, bytes.size() - kHeaderSize);
  AppendRecords(table, bytes.substr(kHeaderSize, records * kRecordSize));
}

void ReadCacheFile(TCacheTable& table, const std::string& path) {
  table.Clear();
  if (!FileHasSignature(path, kMagic, 0)) return;
  TInputFile file(path);
  unsigned char header[kHeaderSize];
  if (file.ReadFull(header, kHeaderSize) != kHeaderSize) return;
  const uint64_t size = file.Size();
  const size_t records =
      RecordsPresent(LittleEndian32(header + 6), size > kHeaderSize ? size - kHeaderSize : 0);
  std::string bytes(records * kRecordSize, '\0');
  bytes.resize(file.ReadFull(bytes.data(), bytes.size()));
  AppendRecords(table, bytes);
}

void WriteCacheFile(const TCacheTable& table, const std::string& path) {
  WriteFileAtomically(path, EncodeCacheFile(table));
}

}  // namespace vexmoor
