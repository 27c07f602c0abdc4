// The bytes of a 7z archive as one stream: a single file, the volumes of a
// multi-volume set joined in order (x.7z.001, x.7z.002 ...), or memory.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/File.h"

namespace vexmoor {

class TSevenZipSource {
 public:
  virtual ~TSevenZipSource() = default;
  virtual uint64_t Size() const = 0;
  // Copies `size` bytes from `offset`; false when the stream ends first.
  // Throws IoError when a read fails.
  virtual bool ReadAt(uint64_t offset, void* buffer, size_t size) = 0;
};

class TSevenZipMemory : public TSevenZipSource {
 public:
  // `bytes` must outlive the source.
  explicit TSevenZipMemory(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  uint64_t Size() const override { return bytes_.size(); }
  bool ReadAt(uint64_t offset, void* buffer, size_t size) override;

 private:
  std::span<const uint8_t> bytes_;
};

// The volume paths of the set `path` belongs to, in order. A name ending in
// a dot and three or more digits belongs to the set that starts with the
// same name ending ".001" and runs while the next number exists (".999" is
// followed by ".1000"); when `path` is not among them (no ".001", or a gap
// before it) it stands alone, as does any other name.
std::vector<std::string> SevenZipVolumePaths(const std::string& path);

class TSevenZipVolumes : public TSevenZipSource {
 public:
  // Opens each volume once for its size. Throws FileOpenError when one
  // cannot be opened.
  explicit TSevenZipVolumes(std::vector<std::string> paths);
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, void* buffer, size_t size) override;

 private:
  struct TVolume {
    std::string Path;
    uint64_t Start = 0;
    uint64_t Size = 0;
  };
  TInputFile& Open(size_t index);

  std::vector<TVolume> volumes_;
  uint64_t size_ = 0;
  std::unique_ptr<TInputFile> open_;  // the volume read last
  size_t openIndex_ = 0;
};

}  // namespace vexmoor
