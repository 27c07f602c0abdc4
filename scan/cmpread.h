// The archive directory reader: lists the members of a zip archive, of a
// rar volume set or of a 7z archive (or volume set) with the CRC-32 each
// header stores, without unpacking a member.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexmoor {

// One archive member as its directory describes it.
struct TCmpRecord {
  std::string Name;           // stored bytes, no code-page or separator change
  uint32_t Crc = 0;           // CRC-32 of the unpacked member
  uint64_t PackedSize = 0;    // stored size (64-bit so zip64 sizes fit)
  uint64_t UnpackedSize = 0;

  friend bool operator==(const TCmpRecord&, const TCmpRecord&) = default;
};

// The first four bytes of an archive read as one little-endian number.
constexpr uint32_t kZipSignature = 0x04034B50;  // "PK" 03 04
constexpr uint32_t kZipEmptySignature = 0x06054B50;  // "PK" 05 06: an empty zip's end record
constexpr uint32_t kRarSignature = 0x21726152;  // "Rar!"
constexpr uint32_t kSevenZipSignature = 0xAFBC7A37;  // "7z" BC AF

// Opens `path` (letting other programs read and write it) and returns its
// first four bytes as a little-endian number, or 0 when it is shorter.
// Throws FileOpenError when it cannot be opened.
uint32_t ReadSignature(const std::string& path);

// The message naming an archive that could not be read whole and why:
// "Cannot read the archive "PATH". WHY".
std::string ArchiveProblemText(const std::string& path, const std::string& why);

// One reader serves a whole scan: each assignment of FileName replaces the
// entries with the directory of the archive assigned.
class TCmpRead {
 public:
  const std::string& FileName() const { return fileName_; }

  // Reads the directory of the archive at `path`:
  //  - no file at `path`: nothing happens, FileName and entries stay;
  //  - a zip (local header signature first, or the end record of an empty
  //    zip): its central directory;
  //  - a rar: every volume of its set, from the first one that exists, by
  //    the set's naming style (x.part1.rar, x.rar/x.r00, x.000/x.001);
  //  - a 7z: its header database, with the volumes x.7z.001, x.7z.002 ...
  //    joined as one archive (a later volume assigned reads the whole set).
  // An archive whose directory cannot be read whole (cut short, damaged,
  // encrypted headers, encrypted members without a CRC, a rar 5 set) is no
  // throw: Damage() says why, and the members that could be read stay.
  // Afterwards FileName is `path`, also when the read fails.
  // Throws FormatError "Unknown compression format." for any other content
  // (files shorter than four bytes included), FormatError
  // "Bad rar filename." for a name like x.rab, FileOpenError when the file or
  // one of its volumes exists but cannot be opened, and IoError when a read
  // fails; the entries read before a failure stay.
  void SetFileName(const std::string& path);

  size_t Count() const { return entries_.size(); }
  // A copy of entry `index`; throws std::out_of_range outside 0..Count()-1.
  TCmpRecord Items(size_t index) const;
  // All entries in directory order (zip, 7z) or first-header order (rar).
  const std::vector<TCmpRecord>& Entries() const { return entries_; }
  // Why the last archive assigned was not listed whole, as one sentence
  // naming the kind of archive ("Damaged zip archive: ...", "Encrypted 7z
  // archive: ..."); "" when its directory was read whole (an empty archive
  // included).
  const std::string& Damage() const { return damage_; }

 private:
  void ReadRarSet();

  std::string fileName_;
  std::vector<TCmpRecord> entries_;
  std::string damage_;
};

}  // namespace vexmoor
