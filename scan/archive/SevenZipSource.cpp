#include "scan/archive/SevenZipSource.h"

#include <algorithm>
#include <cstring>

namespace vexmoor {

namespace {

// Sets end at 65536 volumes; a name that runs on beyond is read that far.
constexpr size_t kMaxVolumes = 65536;

std::string Numbered(const std::string& base, size_t number, size_t width) {
  std::string digits = std::to_string(number);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return base + digits;
}

}  // namespace

bool TSevenZipMemory::ReadAt(uint64_t offset, void* buffer, size_t size) {
  if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
  std::memcpy(buffer, bytes_.data() + offset, size);
  return true;
}

std::vector<std::string> SevenZipVolumePaths(const std::string& path) {
  const size_t digits = path.size() - 1 - path.find_last_not_of("0123456789");
  const size_t dot = path.size() - digits - 1;
  if (digits < 3 || digits >= path.size() || path[dot] != '.') return {path};
  const std::string base = path.substr(0, dot + 1);
  std::vector<std::string> volumes;
  for (size_t n = 1; n <= kMaxVolumes; ++n) {
    std::string volume = Numbered(base, n, 3);
    if (!PathExists(volume)) break;
    volumes.push_back(std::move(volume));
  }
  if (std::find(volumes.begin(), volumes.end(), path) == volumes.end()) return {path};
  return volumes;
}

TSevenZipVolumes::TSevenZipVolumes(std::vector<std::string> paths) {
  for (std::string& path : paths) {
    TInputFile file(path);
    volumes_.push_back({std::move(path), size_, file.Size()});
    size_ += volumes_.back().Size;
  }
}

TInputFile& TSevenZipVolumes::Open(size_t index) {
  if (!open_ || openIndex_ != index) {
    open_ = std::make_unique<TInputFile>(volumes_[index].Path);
    openIndex_ = index;
  }
  return *open_;
}

bool TSevenZipVolumes::ReadAt(uint64_t offset, void* buffer, size_t size) {
  if (offset > size_ || size > size_ - offset) return false;
  auto* out = static_cast<uint8_t*>(buffer);
  // The last volume that starts at or before the offset holds it.
  auto volume = std::upper_bound(volumes_.begin(), volumes_.end(), offset,
                                 [](uint64_t at, const TVolume& v) { return at < v.Start; });
  for (size_t index = size_t(volume - volumes_.begin()) - 1; size > 0; ++index) {
    const TVolume& v = volumes_[index];
    const size_t part = static_cast<size_t>(std::min<uint64_t>(size, v.Start + v.Size - offset));
    if (part > 0 && Open(index).ReadAt(offset - v.Start, out, part) != part) return false;
    out += part;
    offset += part;
    size -= part;
  }
  return true;
}

}  // namespace vexmoor
