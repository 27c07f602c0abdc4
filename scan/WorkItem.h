// One path of the scan's work list, examined: the costly part of the scan
// (listing a folder, checksumming a loose dump, reading an archive's
// directory) done apart from the catalogue, so that it can run on any thread
// ahead of the walk. The scan engine applies the results to the catalogue in
// work-list order.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/General.h"
#include "platform/FileStamp.h"
#include "platform/Folder.h"
#include "scan/Digest.h"
#include "scan/cmpread.h"

namespace vexmoor {

class TChecksumSession;
class TFolderStamper;
class TStripeHelpers;
class TVerifyPlan;

// Archives the scan reads through their directories.
inline constexpr const char* kArchiveMasks = "*.zip;*.rar;*.7z;*.001;";
// Loose dumps that are tested for the SMT bad-dump signature.
inline constexpr const char* kBadDumpMask = "*.nds";

// The masks one scan works with, split once for the whole scan.
struct TScanMasks {
  TMaskList DatMask;       // loose dumps, tested on the full path
  TMaskList ListingMasks;  // what a folder listing keeps, tested on the name
  TMaskList Archives{kArchiveMasks};
  TMaskList BadDump{kBadDumpMask};
  // The strong checksums to sum beside the CRC-32, or none. Must outlive
  // every examination that uses these masks.
  const TVerifyPlan* Verify = nullptr;
  // Archive members the plan needs sums of are unpacked and summed.
  bool VerifyArchives = false;

  explicit TScanMasks(const std::string& datMask)
      : DatMask(datMask), ListingMasks(kArchiveMasks + datMask) {}
};

// The strong checksums of one image of a dump (see TImageNeed).
struct TImageDigests {
  uint64_t ImageSize = 0;
  TDigests Sums;
};

enum class TWorkKind { Ignored, Folder, LooseDump, Archive };

struct TFolderEntry {
  std::string Name;
  bool IsFolder = false;
  // Its kind could not be told: it joins the work list whatever its name,
  // to be named among what could not be examined.
  bool Unknown = false;
};

struct TExamined {
  TWorkKind Kind = TWorkKind::Ignored;
  // Folder: its identity (none when it vanished) and its entries.
  std::optional<TFolderIdentity> Identity;
  std::vector<TFolderEntry> Entries;
  // Loose dump: its CRC-32 and size (0 when the size could not be taken),
  // and for "*.nds" files the bad-dump verdict or the failure of that test
  // (raised only if the CRC matches an entry).
  uint32_t Crc = 0;
  uint64_t Size = 0;
  bool TestedForBadDump = false;
  bool BadDump = false;
  std::exception_ptr BadDumpError;
  // The strong checksums the plan (TScanMasks::Verify) asks for, of each
  // image it needs, summed from the same read (or recalled); empty when it
  // needs none. A dump that changed size while read may lack them.
  std::vector<TImageDigests> Digests;
  // With a checksum store: Recalled when the CRC and verdict came from the
  // store and the file was not read; else the stamp taken before the read,
  // when a row may be written for it.
  bool Recalled = false;
  std::optional<TFileStamp> Stamp;
  // Archive: the members its directory lists, and Skipped when it could
  // not be opened or read whole (its content is no archive we read, it is
  // cut short, damaged or encrypted): the members read before the damage
  // are kept. A later volume of a rar set whose first volume the walk reads
  // itself is Ignored: the set is read once, from its first volume.
  std::vector<TCmpRecord> Members;
  // With archive verification: the strong checksums of each member the plan
  // needs them for, unpacked and summed (parallel to Members; empty for a
  // member not summed, or all of them without verification).
  std::vector<std::vector<TImageDigests>> MemberDigests;
  bool Skipped = false;
  // What could not be examined, as a message naming the path and the
  // reason: a folder that could not be listed (its Entries are then empty),
  // a path whose kind could not be told, an archive that could not be
  // opened or read whole ("Cannot read the archive "PATH". Unknown
  // compression format."). Empty when all went well; the scan goes on
  // either way.
  std::string Unexamined;
  // A failure that ends the scan when this path's turn comes.
  std::exception_ptr Error;
};

// True when a work-list path names a folder (it ends with the separator).
bool NamesFolder(const std::string& path);

// The path a folder entry adds to the work list behind everything waiting:
// a folder with the separator appended, a file the listing masks keep or
// an entry of unknown kind, or nothing.
std::optional<std::string> WorkListEntry(const std::string& folder, const TFolderEntry& entry,
                                         const TScanMasks& masks);

// Examines one work-list path. Touches nothing but the file system and never
// throws: failures are kept in the result. Safe to call from several threads
// at once. When `abandon` is given and becomes set while a loose dump is
// checksummed, the checksum stops at the next block: the result is then
// incomplete and must be thrown away. With `helpers`, a large loose dump is
// summed in stripes that idle threads may join. With `sums`, a loose dump
// whose stamp the store knows is not read; it is stamped through `stamper`
// when given (one per thread, kept no longer than the walk).
TExamined ExamineWorkItem(const std::string& path, const TScanMasks& masks,
                          const std::atomic<bool>* abandon = nullptr,
                          TStripeHelpers* helpers = nullptr,
                          const TChecksumSession* sums = nullptr,
                          TFolderStamper* stamper = nullptr);

}  // namespace vexmoor
