#include "scan/cmpread.h"

#include <stdexcept>
#include <unordered_set>

#include "codec/BufferedReader.h"
#include "codec/Coding.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "scan/archive/RarDirectory.h"
#include "scan/archive/RarVolumeName.h"
#include "scan/archive/SevenZipDirectory.h"
#include "scan/archive/ZipDirectory.h"

namespace vexmoor {

uint32_t ReadSignature(const std::string& path) {
  TInputFile file(path);
  uint8_t bytes[4];
  if (file.ReadAt(0, bytes, sizeof bytes) != sizeof bytes) return 0;
  return LoadU32(bytes);
}

std::string ArchiveProblemText(const std::string& path, const std::string& why) {
  return "Cannot read the archive \"" + path + "\". " + why;
}

void TCmpRead::SetFileName(const std::string& newName) {
  if (!PathExists(newName)) return;
  const std::string path = newName;  // newName may be FileName() itself
  // While a rar set is read FileName names the volume being read; whatever
  // happens, it ends up naming the archive assigned.
  struct RestoreName {
    std::string& name;
    const std::string& assigned;
    ~RestoreName() { name = assigned; }
  } restore{fileName_, path};
  fileName_ = path;
  entries_.clear();
  damage_.clear();
  const uint32_t signature = ReadSignature(path);
  if (signature == kZipSignature) {
    damage_ = ReadZipDirectory(path, entries_);
  } else if (signature == kZipEmptySignature && ReadZipDirectory(path, entries_).empty()) {
    // An empty zip is its end record alone: read whole, it holds nothing.
  } else if (signature == kRarSignature) {
    ReadRarSet();
  } else if (signature == kSevenZipSignature || IsLaterSevenZipVolume(path)) {
    damage_ = ReadSevenZipDirectory(path, entries_);
  } else {
    entries_.clear();
    throw FormatError("Unknown compression format.");
  }
}

void TCmpRead::ReadRarSet() {
  std::string volume = fileName_;
  RarVolumeName(volume, TVolumeDirection::First);
  TRarEntryList list(entries_);
  // One archive cut into pieces by bytes (x.001, x.002 ...): the pieces
  // joined are one volume.
  if (const std::vector<std::string> pieces = RarBytePieces(volume); !pieces.empty()) {
    fileName_ = volume;
    if (!ReadRarDirectory(pieces, list))
      list.NoteDamage("Unsupported rar archive: only rar 1.5 to 4.x headers are read.");
    damage_ = list.Damage();
    return;
  }
  // Names can lead back to a volume already read (x.999 is followed by
  // x.1000, which reads as volume 0 of the number style): each is read once.
  std::unordered_set<std::string> visited;
  while (visited.insert(volume).second) {
    fileName_ = volume;
    if (!ReadRarDirectory(volume, list)) {
      if (visited.size() == 1)
        list.NoteDamage("Unsupported rar archive: only rar 1.5 to 4.x headers are read.");
      break;
    }
    if (!RarVolumeName(volume, TVolumeDirection::Next)) break;
  }
  damage_ = list.Damage();
}

TCmpRecord TCmpRead::Items(size_t index) const {
  if (index >= entries_.size()) {
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  }
  return entries_[index];
}

}  // namespace vexmoor
