#include "scan/store/KnownChecksums.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace vexmoor {

namespace {

// A record's flags.
constexpr uint8_t kTested = 1;
constexpr uint8_t kBadDump = 2;
constexpr uint8_t kImage = 4;  // an image size and at least one sum follow
constexpr uint8_t kMd5 = 8;
constexpr uint8_t kSha1 = 16;
constexpr uint8_t kSha256 = 32;
constexpr uint8_t kKnownFlags = kTested | kBadDump | kImage | kMd5 | kSha1 | kSha256;
constexpr uint8_t kSums = kMd5 | kSha1 | kSha256;

struct TSumField {
  uint8_t Flag;
  size_t Bytes;
  std::string TDigests::*Member;
};
constexpr TSumField kSumFields[] = {
    {kMd5, 16, &TDigests::Md5}, {kSha1, 20, &TDigests::Sha1}, {kSha256, 32, &TDigests::Sha256}};

// The fixed part of a record after its name: device, node, size, the two
// times, the CRC and the flags.
constexpr size_t kFixedBytes = 5 * 8 + 4 + 1;

size_t VarintBytes(uint64_t value) {
  size_t bytes = 1;
  for (; value >= 0x80; value >>= 7) ++bytes;
  return bytes;
}

bool TakeVarint(std::string_view& in, uint64_t& value) {
  value = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    if (in.empty()) return false;
    const auto byte = static_cast<uint8_t>(in.front());
    in.remove_prefix(1);
    if (shift == 63 && byte > 1) return false;
    value |= uint64_t{byte & 0x7Fu} << shift;
    if ((byte & 0x80) == 0) return true;
  }
  return false;
}

template <typename T>
T TakeFixed(const char*& at) {
  if constexpr (std::endian::native == std::endian::little) {
    T value;
    std::memcpy(&value, at, sizeof(T));
    at += sizeof(T);
    return value;
  } else {
    uint64_t bits = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
      bits |= uint64_t{static_cast<uint8_t>(at[i])} << (8 * i);
    at += sizeof(T);
    return static_cast<T>(bits);
  }
}

char* PutHexAsBytes(char* out, const std::string& hex) {
  const auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    *out++ = static_cast<char>(nibble(hex[i]) << 4 | nibble(hex[i + 1]));
  return out;
}

bool LowerHexOfLength(const std::string& text, size_t bytes) {
  return text.size() == 2 * bytes &&
         text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// What follows the name of a record that DecodeRecord found good, into
// `known`.
void ReadFields(const char* at, TKnownChecksum& known) {
  known.Stamp.Device = TakeFixed<uint64_t>(at);
  known.Stamp.Node = TakeFixed<uint64_t>(at);
  known.Stamp.Size = TakeFixed<uint64_t>(at);
  known.Stamp.ModifiedNs = TakeFixed<int64_t>(at);
  known.Stamp.ChangedNs = TakeFixed<int64_t>(at);
  known.Sum.Crc = TakeFixed<uint32_t>(at);
  const auto flags = TakeFixed<uint8_t>(at);
  known.Sum.TestedForBadDump = (flags & kTested) != 0;
  known.Sum.BadDump = (flags & kBadDump) != 0;
  known.Sum.ImageSize = (flags & kImage) != 0 ? TakeFixed<uint64_t>(at) : 0;
  for (const TSumField& field : kSumFields) {
    std::string& digest = known.Sum.Digests.*field.Member;
    digest.clear();
    if ((flags & field.Flag) == 0) continue;
    digest = DigestHex(reinterpret_cast<const unsigned char*>(at), field.Bytes);
    at += field.Bytes;
  }
}

// Whether a record's payload is as written, its name into `name` (within
// the payload) and, when `known` is given, what it holds into `*known`.
bool DecodeRecord(std::string_view payload, std::string_view& name, TKnownChecksum* known) {
  uint64_t nameLength = 0;
  if (!TakeVarint(payload, nameLength) || nameLength == 0 || nameLength > payload.size())
    return false;
  name = payload.substr(0, nameLength);
  for (const char c : name)
    if (IsKeySeparator(c) || c == '\0') return false;
  payload.remove_prefix(nameLength);
  if (payload.size() < kFixedBytes) return false;
  const char* fixed = payload.data();
  const auto flags = static_cast<uint8_t>(fixed[kFixedBytes - 1]);
  if ((flags & ~kKnownFlags) != 0 || ((flags & kBadDump) != 0 && (flags & kTested) == 0) ||
      ((flags & kImage) != 0) != ((flags & kSums) != 0))
    return false;
  size_t need = kFixedBytes;
  if ((flags & kImage) != 0) {
    need += 8;
    const char* image = fixed + kFixedBytes;
    // An image of no bytes holds no sums.
    if (payload.size() < need || TakeFixed<uint64_t>(image) == 0) return false;
  }
  for (const TSumField& field : kSumFields)
    if ((flags & field.Flag) != 0) need += field.Bytes;
  if (payload.size() != need) return false;
  if (known) ReadFields(fixed, *known);
  return true;
}

// `path` against `a` + `b`, as their bytes compare (negative: before).
int CompareJoined(std::string_view path, std::string_view a, std::string_view b) {
  const size_t common = std::min(path.size(), a.size());
  if (const int first = path.substr(0, common).compare(a.substr(0, common)); first != 0)
    return first;
  if (path.size() < a.size()) return -1;
  return path.substr(a.size()).compare(b);
}

}  // namespace

uint64_t NamePrefix(std::string_view name) {
  unsigned char bytes[8] = {};
  std::memcpy(bytes, name.data(), std::min<size_t>(sizeof(bytes), name.size()));
  uint64_t prefix = 0;
  for (const unsigned char byte : bytes) prefix = prefix << 8 | byte;
  return prefix;
}

size_t FileNameStart(std::string_view path) {
  const size_t separator = LastKeySeparator(path);
  if (separator == std::string_view::npos || separator + 1 == path.size())
    return std::string_view::npos;
  return separator + 1;
}

TReadSums ReadSumsOf(const TStoredChecksum& sum) {
  return {sum.Crc, sum.TestedForBadDump, sum.BadDump, sum.ImageSize, &sum.Digests};
}

std::string EncodeFolderFiles(const std::vector<TFileRecord>& files) {
  std::string blob;
  size_t bytes = 0;
  for (const TFileRecord& file : files) bytes += file.Name.size() + kFixedBytes + 2 * 10 + 8 + 68;
  blob.reserve(bytes);
  for (const TFileRecord& file : files)
    AppendFileRecord(blob, file.Name, file.Known.Stamp, ReadSumsOf(file.Known.Sum));
  return blob;
}

void AppendFileRecord(std::string& blob, std::string_view name, const TFileStamp& stamp,
                      const TReadSums& sums) {
  uint8_t sumFlags = 0;
  if (sums.ImageSize != 0 && sums.Digests != nullptr) {
    for (const TSumField& field : kSumFields)
      if (LowerHexOfLength(sums.Digests->*field.Member, field.Bytes)) sumFlags |= field.Flag;
    if (sumFlags != 0) sumFlags |= kImage;
  }
  size_t payload = VarintBytes(name.size()) + name.size() + kFixedBytes;
  if (sumFlags != 0) payload += 8;
  for (const TSumField& field : kSumFields)
    if ((sumFlags & field.Flag) != 0) payload += field.Bytes;
  const size_t start = blob.size();
  blob.resize(start + VarintBytes(payload) + payload);
  char* out = blob.data() + start;
  const auto varint = [&out](uint64_t value) {
    while (value >= 0x80) {
      *out++ = static_cast<char>((value & 0x7F) | 0x80);
      value >>= 7;
    }
    *out++ = static_cast<char>(value);
  };
  const auto fixed = [&out](auto value) {
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(out, &value, sizeof(value));
      out += sizeof(value);
    } else {
      auto bits = static_cast<uint64_t>(value);
      for (size_t i = 0; i < sizeof(value); ++i, bits >>= 8)
        *out++ = static_cast<char>(bits & 0xFF);
    }
  };
  varint(payload);
  varint(name.size());
  std::memcpy(out, name.data(), name.size());
  out += name.size();
  fixed(stamp.Device);
  fixed(stamp.Node);
  fixed(stamp.Size);
  fixed(stamp.ModifiedNs);
  fixed(stamp.ChangedNs);
  fixed(sums.Crc);
  fixed(static_cast<uint8_t>(sumFlags | (sums.TestedForBadDump ? kTested : 0) |
                             (sums.TestedForBadDump && sums.BadDump ? kBadDump : 0)));
  if (sumFlags != 0) {
    fixed(sums.ImageSize);
    for (const TSumField& field : kSumFields)
      if ((sumFlags & field.Flag) != 0) out = PutHexAsBytes(out, sums.Digests->*field.Member);
  }
}

bool TakeFileRecord(std::string_view& blob, std::string_view& record, std::string_view& name) {
  std::string_view rest = blob;
  uint64_t length = 0, nameLength = 0;
  if (!TakeVarint(rest, length) || length > rest.size()) return false;
  const size_t frame = blob.size() - rest.size() + static_cast<size_t>(length);
  std::string_view payload = rest.substr(0, length);
  if (!TakeVarint(payload, nameLength) || nameLength > payload.size()) return false;
  name = payload.substr(0, nameLength);
  record = blob.substr(0, frame);
  blob.remove_prefix(frame);
  return true;
}

bool TFolderReader::Next(TFileRecord& record) {
  std::string_view payload, name;
  if (!Next(payload, name, &record.Known)) return false;
  record.Name.assign(name);
  return true;
}

bool TFolderReader::Next(std::string_view& payload, std::string_view& name, TKnownChecksum* known) {
  while (!rest_.empty() && !broken_) {
    uint64_t length = 0;
    if (!TakeVarint(rest_, length) || length > rest_.size()) {
      broken_ = true;
      break;
    }
    payload = rest_.substr(0, length);
    rest_.remove_prefix(length);
    if (!DecodeRecord(payload, name, known) || (!first_ && !(last_ < name))) {
      ++rejected_;
      continue;
    }
    first_ = false;
    last_ = name;
    return true;
  }
  return false;
}

bool DecodeFolderFiles(std::string_view blob, std::vector<TFileRecord>& files, uint64_t hint) {
  files.clear();
  files.reserve(std::min<uint64_t>(hint, blob.size() / (kFixedBytes + 3)));
  TFolderReader reader(blob);
  files.emplace_back();
  while (reader.Next(files.back())) files.emplace_back();
  files.pop_back();
  if (!reader.Broken()) return true;
  files.clear();
  return false;
}

void TKnownChecksums::AddFolder(std::string folder, std::string_view blob,
                                std::string_view namePrefix,
                                const std::function<void()>& eachRead) {
  // Offsets are 32-bit: the database holds no blob of 4 GiB.
  if (blob.size() > std::numeric_limits<uint32_t>::max()) return;
  TFolder added{std::move(folder), std::string(blob), {}};
  TFolderReader reader(added.Blob);
  std::string_view payload, name;
  while (reader.Next(payload, name, nullptr)) {
    if (eachRead) eachRead();
    if (name.starts_with(namePrefix))
      added.Records.push_back({NamePrefix(name), static_cast<uint32_t>(name.data() - added.Blob.data()),
                               static_cast<uint32_t>(name.size())});
  }
  if (reader.Broken() || added.Records.empty()) return;
  files_ += added.Records.size();
  folders_.push_back(std::move(added));
}

std::string_view TKnownChecksums::TFolder::Name(TRecordAt record) const {
  return {Blob.data() + record.Name, record.NameSize};
}

TKnownChecksum TKnownChecksums::TFolder::Decode(TRecordAt record) const {
  TKnownChecksum known;
  ReadFields(Blob.data() + record.Name + record.NameSize, known);
  return known;
}

std::optional<TKnownChecksum> TKnownChecksums::Find(std::string_view head, std::string_view tail) const {
  if (folders_.empty()) return std::nullopt;
  if (!tail.empty() && IsKeySeparator(tail.back())) return std::nullopt;
  std::string_view folderHead = head, folderTail, name;
  if (const size_t nameStart = FileNameStart(tail); nameStart != std::string_view::npos) {
    folderTail = tail.substr(0, nameStart);
    name = tail.substr(nameStart);
  } else if (tail.empty()) {
    const size_t headName = FileNameStart(head);
    if (headName == std::string_view::npos) return std::nullopt;
    folderHead = head.substr(0, headName);
    name = head.substr(headName);
  } else if (!head.empty() && IsKeySeparator(head.back())) {
    name = tail;
  } else {
    return Find(std::string(head).append(tail), {});  // the name begins in the head
  }
  auto place = folders_.begin() + static_cast<ptrdiff_t>(
                                      std::min(lastFolder_.load(std::memory_order_relaxed),
                                               folders_.size() - 1));
  if (CompareJoined(place->Path, folderHead, folderTail) != 0) {
    place = std::lower_bound(
        folders_.begin(), folders_.end(), 0, [folderHead, folderTail](const TFolder& entry, int) {
          return CompareJoined(entry.Path, folderHead, folderTail) < 0;
        });
    if (place == folders_.end() || CompareJoined(place->Path, folderHead, folderTail) != 0)
      return std::nullopt;
    lastFolder_.store(static_cast<size_t>(place - folders_.begin()), std::memory_order_relaxed);
  }
  const TFolder& folder = *place;
  // The names' first bytes tell most of them apart without reading them.
  const uint64_t prefix = NamePrefix(name);
  const auto file = std::lower_bound(
      folder.Records.begin(), folder.Records.end(), name,
      [&folder, prefix](TRecordAt entry, std::string_view wanted) {
        if (entry.Prefix != prefix) return entry.Prefix < prefix;
        return folder.Name(entry) < wanted;
      });
  if (file == folder.Records.end() || folder.Name(*file) != name)
    return std::nullopt;
  return folder.Decode(*file);
}

TKnownChecksum TKnownChecksums::at(std::string_view path) const {
  std::optional<TKnownChecksum> known = Find(path);
  if (!known) throw std::out_of_range("no stored checksum for " + std::string(path));
  return std::move(*known);
}

void TKnownChecksums::clear() {
  folders_.clear();
  lastFolder_ = 0;
  files_ = 0;
}

size_t TKnownChecksums::Release(size_t files) {
  size_t released = 0;
  while (released < files && !folders_.empty()) {
    std::vector<TRecordAt>& last = folders_.back().Records;
    const size_t take = std::min(files - released, last.size());
    last.resize(last.size() - take);
    released += take;
    if (last.empty()) folders_.pop_back();
  }
  files_ -= released;
  return released;
}

}  // namespace vexmoor
