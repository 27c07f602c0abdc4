#include "scan/archive/RarDirectory.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "codec/BufferedReader.h"
#include "codec/Coding.h"
#include "platform/File.h"

namespace vexmoor {

namespace {

constexpr uint8_t kRarMarker[7] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
constexpr size_t kBlockBaseSize = 7;
constexpr size_t kFileFixedSize = 32;  // file header up to the name
constexpr uint8_t kMainHeader = 0x73;
constexpr uint8_t kFileHeader = 0x74;
constexpr uint8_t kSubBlock = 0x7A;  // same layout as a file header
constexpr uint16_t kHasDataSize = 0x8000;
constexpr uint16_t kSplitBefore = 0x0001;    // file header: continued from the previous volume
constexpr uint16_t kLargeSizes = 0x0100;     // file header: high size words follow
constexpr uint16_t kEncryptedHeaders = 0x0080;  // main header

uint64_t SaturatingAdd(uint64_t a, uint64_t b) { return b > UINT64_MAX - a ? UINT64_MAX : a + b; }

// Fills `record` from a whole file header; false when the header is too
// short to hold its own fields and name.
bool ParseFileHeader(const std::vector<uint8_t>& header, uint16_t flags, TRarRecord& record) {
  const size_t nameStart = kFileFixedSize + ((flags & kLargeSizes) ? 8 : 0);
  if (header.size() < nameStart) return false;
  const uint8_t* h = header.data();
  record.Flags = flags;
  record.PackedSize = LoadU32(h + 7);
  record.UnpackedSize = LoadU32(h + 11);
  record.HostOs = h[15];
  record.Crc = LoadU32(h + 16);
  record.FileTime = LoadU32(h + 20);
  record.UnpackVersion = h[24];
  record.Method = h[25];
  record.NameSize = LoadU16(h + 26);
  record.Attributes = LoadU32(h + 28);
  if (flags & kLargeSizes) {
    record.PackedSize |= uint64_t(LoadU32(h + 32)) << 32;
    record.UnpackedSize |= uint64_t(LoadU32(h + 36)) << 32;
  }
  if (header.size() - nameStart < record.NameSize) return false;
  // A name with a Unicode form stores the plain name, a NUL, then the
  // encoded form; the entry takes the plain name.
  const auto* name = reinterpret_cast<const char*>(h + nameStart);
  record.Name.assign(name, std::find(name, name + record.NameSize, '\0'));
  return true;
}

// The bytes of one or more files read as one (an archive cut into pieces
// by bytes), one file open at a time.
class TJoinedFiles {
 public:
  explicit TJoinedFiles(const std::vector<std::string>& paths) : paths_(paths) {
    for (size_t n = 0; n < paths_.size(); ++n) {
      starts_.push_back(size_);
      size_ += Open(n).Size();
    }
  }
  uint64_t Size() const { return size_; }
  // Up to `size` bytes at `offset`; fewer only at the end (or where a
  // piece turned out shorter than it was).
  size_t ReadAt(uint64_t offset, void* buffer, size_t size) {
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < size && offset + done < size_) {
      const uint64_t at = offset + done;
      const size_t n = size_t(std::upper_bound(starts_.begin(), starts_.end(), at) - starts_.begin()) - 1;
      const uint64_t end = n + 1 < starts_.size() ? starts_[n + 1] : size_;
      const size_t want = size_t(std::min<uint64_t>(size - done, end - at));
      const size_t got = Open(n).ReadAt(at - starts_[n], out + done, want);
      done += got;
      if (got < want) break;
    }
    return done;
  }

 private:
  TInputFile& Open(size_t n) {
    if (!file_ || open_ != n) {
      file_.reset();
      file_.emplace(paths_[n]);
      open_ = n;
    }
    return *file_;
  }

  const std::vector<std::string>& paths_;
  std::vector<uint64_t> starts_;
  uint64_t size_ = 0;
  std::optional<TInputFile> file_;
  size_t open_ = 0;
};

enum class TBlockRead { Read, CutShort, TooSmall };

// Reads the whole header of the block at `offset` into `header`: at least
// the 7-byte base and the data size field when the flags announce one.
// CutShort when the file ends inside it, TooSmall when the header size is
// below 7 (padding after the last block, for one).
TBlockRead ReadBlockHeader(TJoinedFiles& file, uint64_t offset, std::vector<uint8_t>& header) {
  uint8_t base[kBlockBaseSize];
  if (file.ReadAt(offset, base, sizeof base) != sizeof base) return TBlockRead::CutShort;
  const uint16_t flags = LoadU16(base + 3);
  const uint16_t headSize = LoadU16(base + 5);
  if (headSize < kBlockBaseSize) return TBlockRead::TooSmall;
  const size_t length = std::max<size_t>(headSize, (flags & kHasDataSize) ? 11 : kBlockBaseSize);
  header.resize(length);
  std::memcpy(header.data(), base, sizeof base);
  const size_t rest = length - sizeof base;
  if (file.ReadAt(offset + sizeof base, header.data() + sizeof base, rest) != rest)
    return TBlockRead::CutShort;
  return TBlockRead::Read;
}

}  // namespace

void TRarEntryList::AddRarEntry(const TRarRecord& record) {
  auto latest = latest_.find(record.Name);
  if (!(record.Flags & kSplitBefore) || latest == latest_.end()) {
    latest = latest_.insert_or_assign(record.Name, entries_.size()).first;
    entries_.emplace_back();
  }
  TCmpRecord& entry = entries_[latest->second];
  entry.Name = record.Name;
  entry.Crc = record.Crc;
  entry.PackedSize = record.PackedSize;
  entry.UnpackedSize = record.UnpackedSize;
}

bool ReadRarDirectory(const std::string& volume, TRarEntryList& list) {
  return ReadRarDirectory(std::vector<std::string>{volume}, list);
}

bool ReadRarDirectory(const std::vector<std::string>& pieces, TRarEntryList& list) {
  TJoinedFiles file(pieces);
  uint8_t marker[sizeof kRarMarker];
  if (file.ReadAt(0, marker, sizeof marker) != sizeof marker ||
      std::memcmp(marker, kRarMarker, sizeof marker) != 0) {
    return false;
  }
  const uint64_t size = file.Size();
  std::vector<uint8_t> header;
  // Every block moves the walk on by at least its 7-byte header.
  uint64_t block = sizeof kRarMarker;
  while (block < size) {
    const TBlockRead read = ReadBlockHeader(file, block, header);
    if (read == TBlockRead::CutShort)
      list.NoteDamage("Damaged rar archive: a header is cut short.");
    if (read != TBlockRead::Read) break;
    const uint8_t type = header[2];
    const uint16_t flags = LoadU16(&header[3]);
    const uint16_t headSize = LoadU16(&header[5]);
    if (type == kMainHeader && (flags & kEncryptedHeaders)) {  // the rest is ciphertext
      list.NoteDamage("Encrypted rar archive: its headers are encrypted.");
      break;
    }
    uint64_t dataSize = (flags & kHasDataSize) ? LoadU32(&header[7]) : 0;
    if ((type == kFileHeader || type == kSubBlock) && (flags & kLargeSizes) && header.size() >= 36) {
      dataSize |= uint64_t(LoadU32(&header[32])) << 32;
    }
    TRarRecord record;
    if (type == kFileHeader && ParseFileHeader(header, flags, record)) list.AddRarEntry(record);
    block = SaturatingAdd(block + headSize, dataSize);
  }
  // A volume cut short in a member's data lost the headers after it.
  if (block > size) list.NoteDamage("Damaged rar archive: a member runs past the end of the file.");
  return true;
}

}  // namespace vexmoor
