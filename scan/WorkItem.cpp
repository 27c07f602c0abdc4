#include "scan/WorkItem.h"

#include <cerrno>
#include <functional>
#include <optional>

#include "catalogue/General.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/Folder.h"
#include "scan/ArchiveVerify.h"
#include "scan/BadDump.h"
#include "scan/CRC32.h"
#include "scan/StripedChecksum.h"
#include "scan/VerifyPlan.h"
#include "scan/archive/RarVolumeName.h"
#include "scan/store/ChecksumSession.h"

namespace vexmoor {

namespace {

// ENOENT or ENOTDIR: nothing is there (any more); any other reason hides
// something that may be there.
bool NothingThere(int error) { return error == 0 || error == ENOENT || error == ENOTDIR; }


void ExamineFolder(const std::string& path, const TFileStat& stat, TExamined& result) {
  result.Identity = TFolderIdentity{stat.Device, stat.Node};
  std::vector<TListedEntry> entries;
  try {
    entries = CurrentFileSystem().List(path);
  } catch (const IoError& error) {
    if (!NothingThere(error.SystemError())) result.Unexamined = error.what();
    return;
  }
  for (TListedEntry& entry : entries)
    result.Entries.push_back({std::move(entry.Name), entry.IsFolder, entry.Error != 0});
}

// Whether a stored row holds every strong checksum the plan needs for its
// CRC and `size`: a row written by an older build, or by a scan with a dat
// of CRCs alone, holds none, and its file is read again.
bool CoversNeeds(const TStoredChecksum& sum, uint64_t size, const TScanMasks& masks) {
  if (!masks.Verify) return true;
  for (const TImageNeed& need : masks.Verify->Needs(sum.Crc, size))
    if (sum.ImageSize != need.ImageSize || (sum.Digests.Kinds() & need.Kinds) != need.Kinds)
      return false;
  return true;
}

// The sums of each image the plan needs for a dump read whole with
// `hasher`: the dump's own, or a copy fed the 0xFF padding up to the full
// image (hashing time only, no second read).
void FinishDigests(THasher& hasher, uint32_t crc, uint64_t size, const TVerifyPlan& plan,
                   TExamined& result) {
  for (const TImageNeed& need : plan.Needs(crc, size)) {
    if ((hasher.Kinds() & need.Kinds) != need.Kinds || need.ImageSize < size) continue;
    THasher image(hasher);
    image.AddRun(0xFF, need.ImageSize - size);
    result.Digests.push_back({need.ImageSize, image.Finish()});
  }
}

// When the store holds a row for the path, takes the file's stamp (one
// status, no open) and recalls the row if the file is unchanged.
bool RecallLooseDump(const std::string& path, const TScanMasks& masks, TExamined& result,
                     const TChecksumSession& sums, TFolderStamper* stamper) {
  const std::optional<TKnownChecksum> row = sums.Known(path);
  if (!row) return false;
  const std::optional<TFileStamp> stamp = stamper ? stamper->Stamp(path) : FileStamp(path);
  if (!stamp || !(row->Stamp == *stamp)) return false;
  const TStoredChecksum* sum = &row->Sum;
  if (!CoversNeeds(*sum, stamp->Size, masks)) return false;
  result.Kind = TWorkKind::LooseDump;
  result.Crc = sum->Crc;
  result.Size = stamp->Size;
  result.TestedForBadDump = sum->TestedForBadDump;
  result.BadDump = sum->BadDump;
  result.Recalled = true;
  if (sum->ImageSize != 0) result.Digests.push_back({sum->ImageSize, sum->Digests});
  return true;
}

// Reads an opened loose dump once: its CRC, its size and, for "*.nds"
// files, the bad-dump verdict, from the bytes of the same reads.
void ReadLooseDump(TInputFile& file, const TFileStamp& stamp, const TScanMasks& masks,
                   TExamined& result, const std::atomic<bool>* abandon,
                   TStripeHelpers* helpers) {
  const bool testBadDump = masks.BadDump.Matches(file.Path());
  bool testedFromHead = false;
  // Strong checksums cannot be summed in stripes: a dump that needs one is
  // read in one pass by this thread, every byte summed by all at once.
  const uint8_t kinds = masks.Verify ? masks.Verify->KindsToRead(stamp.Size) : 0;
  std::optional<THasher> hasher;
  if (kinds) {
    hasher.emplace(kinds);
    // Read ahead while this thread hashes: on a disk the hashing then hides
    // behind the read.
    file.AdviseSequential();
  }
  if (!hasher && helpers && WorthStriping(stamp.Size, helpers->StripeBytes())) {
    result.Crc = SharedFileCrc32(file, stamp.Size, *helpers, abandon);
    // For the trimmed-image test. Should the file change meanwhile, the
    // size does not describe the CRC and the test finds nothing.
    result.Size = stamp.Size;
  } else {
    const auto head = [&](const uint8_t* block, size_t size) {
      if (!testBadDump || (size < kSmtBadDumpHead && size < stamp.Size)) return;
      result.BadDump = IsBadSmtDumpHead(block, size);
      testedFromHead = true;
    };
    std::function<void(const uint8_t*, size_t)> each;
    if (hasher) each = [&](const uint8_t* block, size_t size) { hasher->Add(block, size); };
    const TFileSum sum = ReadFileOnce(file, stamp.Size, abandon, head, each);
    result.Crc = sum.Crc;
    result.Size = sum.Bytes;
  }
  if (abandon && abandon->load()) return;
  if (hasher) FinishDigests(*hasher, result.Crc, result.Size, *masks.Verify, result);
  if (!testBadDump) return;
  result.TestedForBadDump = true;
  if (testedFromHead) return;
  try {
    result.BadDump = IsBadSmtDump(file);
  } catch (...) {
    result.BadDumpError = std::current_exception();
    result.Stamp.reset();  // tested again next time, to fail the same way
  }
}

// A path the dat's mask takes for a loose dump: opened and examined in one
// step. False when it is no regular file; ExamineWorkItem then tells what it
// is from a status of its own, as for any other path.
bool ExamineLooseDump(const std::string& path, const TScanMasks& masks, TExamined& result,
                      const std::atomic<bool>* abandon, TStripeHelpers* helpers,
                      const TChecksumSession* sums, TFolderStamper* stamper) {
  if (sums && RecallLooseDump(path, masks, result, *sums, stamper)) return true;
  const int64_t checked = sums ? sums->Now() : 0;
  TOpenedPath opened = CurrentFileSystem().OpenIfFile(path);
  if (opened.Stat.Type != TFileType::Regular) return false;
  result.Kind = TWorkKind::LooseDump;
  if (opened.OpenFailure) {
    // Listed a moment ago and gone (deleted, or renamed by another
    // program): nothing to mark, and no reason to end the scan.
    if (PathExists(path)) std::rethrow_exception(opened.OpenFailure);
    result.Kind = TWorkKind::Ignored;
    return true;
  }
  const TFileStamp stamp = opened.Stamp ? *opened.Stamp : TFileStamp{};
  if (sums && opened.Stamp && TChecksumSession::Settled(stamp, checked)) result.Stamp = stamp;
  TInputFile file(path, std::move(opened.File));
  ReadLooseDump(file, stamp, masks, result, abandon, helpers);
  return true;
}

// A later volume of a rar set whose first volume the walk reads as an
// archive itself (it lies in the same folder, and its name makes it an
// archive, not a loose dump): the set is read once, from there, instead of
// once per volume.
bool IsLaterRarVolume(const std::string& path, const TScanMasks& masks) {
  if (ReadSignature(path) != kRarSignature) return false;
  std::string first = path;
  if (!RarVolumeName(first, TVolumeDirection::First) || first == path) return false;
  return masks.Archives.Matches(first) && !masks.DatMask.Matches(first);
}

void ExamineArchive(const std::string& path, const TScanMasks& masks, TExamined& result,
                    const std::atomic<bool>* abandon) {
  // A file listed a moment ago may be gone; the reader would keep the
  // previous archive's members, so a fresh reader per archive is used and a
  // vanished one is left out.
  if (!PathExists(path)) {
    result.Kind = TWorkKind::Ignored;
    return;
  }
  // One damaged or foreign archive ends nothing: it is named and skipped,
  // with the members read before the damage.
  TCmpRead reader;
  try {
    if (IsLaterRarVolume(path, masks)) {
      result.Kind = TWorkKind::Ignored;
      return;
    }
    reader.SetFileName(path);
  } catch (const IoError& error) {  // the message names the path
    result.Skipped = true;
    result.Unexamined = error.what();
  } catch (const FormatError& error) {  // "Unknown compression format." ...
    result.Skipped = true;
    result.Unexamined = ArchiveProblemText(path, error.what());
  }
  result.Members = reader.Entries();
  if (!result.Skipped && !reader.Damage().empty()) {
    result.Skipped = true;
    result.Unexamined = ArchiveProblemText(path, reader.Damage());
  }
  if (masks.VerifyArchives && masks.Verify) VerifyArchiveMembers(path, *masks.Verify, result, abandon);
}

}  // namespace

bool NamesFolder(const std::string& path) {
  return !path.empty() && path.back() == kFolderSeparator;
}

std::optional<std::string> WorkListEntry(const std::string& folder, const TFolderEntry& entry,
                                         const TScanMasks& masks) {
  if (!entry.IsFolder && !entry.Unknown && !masks.ListingMasks.Matches(entry.Name))
    return std::nullopt;
  // A path listed as a file may be a folder by the time it is examined; its
  // entries still go below it. Built in one allocation.
  const bool separated = !folder.empty() && folder.back() == kFolderSeparator;
  std::string path;
  path.reserve(folder.size() + entry.Name.size() + 2);
  path.append(folder);
  if (!separated) path += kFolderSeparator;
  path.append(entry.Name);
  if (entry.IsFolder) path += kFolderSeparator;
  return path;
}

TExamined ExamineWorkItem(const std::string& path, const TScanMasks& masks,
                          const std::atomic<bool>* abandon, TStripeHelpers* helpers,
                          const TChecksumSession* sums, TFolderStamper* stamper) {
  TExamined result;
  try {
    if (!NamesFolder(path) && masks.DatMask.Matches(path) &&
        ExamineLooseDump(path, masks, result, abandon, helpers, sums, stamper))
      return result;
    const TFileStat stat = CurrentFileSystem().Stat(path);
    if (stat.Type == TFileType::Folder) {
      result.Kind = TWorkKind::Folder;
      ExamineFolder(path, stat, result);
    } else if (stat.Type == TFileType::Missing && !NothingThere(stat.Error)) {
      result.Unexamined = FileErrorText(TFileOp::Stat, path, stat.Error);
    } else if (masks.DatMask.Matches(path)) {
      // Not a regular file (a FIFO, a device), or gone: opening it tells
      // which, as it would tell it for any loose dump.
      result.Kind = TWorkKind::LooseDump;
      try {
        TInputFile file(path);
        TFileStamp stamp;
        stamp.Size = file.Size();
        ReadLooseDump(file, stamp, masks, result, abandon, helpers);
      } catch (const FileOpenError&) {
        if (PathExists(path)) throw;
        result.Kind = TWorkKind::Ignored;
      }
    } else if (masks.Archives.Matches(path)) {
      result.Kind = TWorkKind::Archive;
      ExamineArchive(path, masks, result, abandon);
    }
  } catch (...) {
    result.Error = std::current_exception();
  }
  return result;
}

}  // namespace vexmoor
