// Rar 1.5-4.x block headers: the seven-byte marker, then blocks that each
// start with a 7-byte header; file headers (type 0x74) describe members.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "scan/cmpread.h"

namespace vexmoor {

// One rar file header, as far as the reader keeps it.
struct TRarRecord {
  uint16_t Flags = 0;        // the block flags; 0x01: continued from the previous volume
  uint64_t PackedSize = 0;    // with flag 0x100 the high words are bits 32-63
  uint64_t UnpackedSize = 0;
  uint8_t HostOs = 0;
  uint32_t Crc = 0;
  uint32_t FileTime = 0;
  uint8_t UnpackVersion = 0;
  uint8_t Method = 0;
  uint16_t NameSize = 0;
  uint32_t Attributes = 0;
  std::string Name;  // the stored bytes up to the first NUL
};

// The entries of a rar set: a header that continues a member from the
// previous volume merges with the latest entry of its exact name (letter
// case counts); every other header is an entry of its own.
class TRarEntryList {
 public:
  // Adds to `entries`, which must outlive this list and start empty.
  explicit TRarEntryList(std::vector<TCmpRecord>& entries) : entries_(entries) {}

  // A header with the split-before flag updates the latest entry of the
  // same name in place (a member continued from an earlier volume keeps its
  // place and takes the values of its last header); any other header, or
  // one without an earlier entry, is appended. Two members of one name that
  // are not split are two entries.
  void AddRarEntry(const TRarRecord& record);

  // Why the set was not listed whole ("" when it was): the first reason
  // noted is kept.
  const std::string& Damage() const { return damage_; }
  void NoteDamage(const std::string& why) {
    if (damage_.empty()) damage_ = why;
  }

 private:
  std::string damage_;
  std::vector<TCmpRecord>& entries_;
  std::unordered_map<std::string, size_t> latest_;  // name -> index in entries_
};

// Walks the block headers of one volume and adds every file header to
// `list`. Returns false when the volume does not start with the rar 1.5-4.x
// marker (a rar5 volume, for instance): then no later volume belongs to the
// set. The walk ends at the end of the file, at a header size below 7, at a
// header cut short by the end of the file (its entry is dropped) and at a
// main header that announces encrypted headers; the last two, and a
// member whose data runs past the end of the file, are noted as the list's
// Damage. Throws FileOpenError when the volume cannot be opened
// and IoError when a read fails.
bool ReadRarDirectory(const std::string& volume, TRarEntryList& list);
// The same for one volume cut into pieces by bytes: the pieces' bytes in
// order are read as the volume's.
bool ReadRarDirectory(const std::vector<std::string>& pieces, TRarEntryList& list);

}  // namespace vexmoor
