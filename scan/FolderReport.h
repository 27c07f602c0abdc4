// What became of every dump a scan examined: one small record per loose
// dump or archive member, and one per path that could not be examined. The
// scan engine fills it as it applies each path (TScanOutcome::Folder); the
// reports and windows read it. A file that the dat's mask does not take is
// no dump and gets no record (an archive member only when it matched).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace vexmoor {

enum class TDumpKind : uint8_t {
  Matched,           // the location of at least one entry it was taken for
  Unknown,           // matched no entry
  Duplicate,         // every entry it was taken for counts another copy
  WrongSize,         // an entry has its CRC, but the dat gives another size
  ChecksumMismatch,  // an entry has its CRC and size, not its SHA-1 or MD5
  BadDump,           // carries the bad-dump pattern (taken for an entry or not)
  Unreadable,        // a path the scan could not examine
};
inline constexpr size_t kDumpKinds = 7;

// The kinds a report lists, in the order their counts are printed.
inline constexpr std::array<TDumpKind, 6> kReportedKinds = {
    TDumpKind::Unknown, TDumpKind::Duplicate, TDumpKind::WrongSize,
    TDumpKind::ChecksumMismatch, TDumpKind::BadDump, TDumpKind::Unreadable};

// "Unknown", "Duplicate", "Wrong size", "Checksum mismatch", "Bad dump",
// "Unreadable"; "Matched" for a matched dump.
const char* DumpKindText(TDumpKind kind);

inline constexpr uint32_t kNoEntry = std::numeric_limits<uint32_t>::max();

struct TDumpRecord {
  std::string Path;    // the loose dump, the archive, or the path not examined
  std::string Member;  // the archive member's stored name; "" for a loose dump
  uint64_t Size = 0;   // bytes (unpacked for a member); 0 for Unreadable
  uint32_t Crc = 0;
  // Catalogue position of the (first) entry it was taken for, or kNoEntry:
  // Unknown, an unmatched bad dump and Unreadable have none.
  uint32_t Entry = kNoEntry;
  // Unreadable: the position of the reason in TFolderReport::Reasons().
  uint32_t Reason = kNoEntry;
  TDumpKind Kind = TDumpKind::Unknown;
  bool Trimmed = false;  // taken for its entries as a trimmed image
};

// The location text of a record as the catalogue writes a found entry's:
// the path, or the archive's path, '\' and the member's stored name.
std::string RecordLocation(const TDumpRecord& record);

// The folder that holds the record's file on disk (the loose dump, the
// archive, or for a folder not examined its parent), with its separator.
std::string RecordFolder(const TDumpRecord& record);

class TFolderReport {
 public:
  // Appends one record; returns it for the caller to fill further.
  TDumpRecord& Add(TDumpKind kind, std::string path, std::string member = {});
  // Appends an Unreadable record naming `path`, with `reason` (a message).
  void AddUnreadable(std::string path, std::string reason);

  const std::vector<TDumpRecord>& Records() const { return records_; }
  std::vector<TDumpRecord>& Records() { return records_; }
  const std::string& ReasonOf(const TDumpRecord& record) const;
  bool Empty() const { return records_.empty(); }
  void Clear() { *this = TFolderReport(); }

  // The records a report lists (every kind but Matched), in the order met.
  std::vector<const TDumpRecord*> Rows() const;
  // How many records there are of each kind, indexed by the kind's value.
  std::array<size_t, kDumpKinds> Counts() const;

 private:
  std::vector<TDumpRecord> records_;
  std::vector<std::string> reasons_;
};

// " Unknown : 3", one line per reported kind with a count: the texts the
// audit prints after its totals and the window's status line shows.
std::string DumpCountText(TDumpKind kind, size_t count);

}  // namespace vexmoor
