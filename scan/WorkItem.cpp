#include "scan/WorkItem.h"

#include <cerrno>

#include "catalogue/General.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/Folder.h"
#include "scan/BadDump.h"
#include "scan/CRC32.h"
#include "scan/StripedChecksum.h"
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

// Takes the file's stamp and, when the store knows it, the store's row.
bool RecallLooseDump(const std::string& path, TExamined& result, const TChecksumSession& sums) {
  const int64_t checked = sums.Now();
  const std::optional<TFileStamp> stamp = FileStamp(path);
  if (!stamp) return false;
  if (const std::optional<TStoredChecksum> sum = sums.Recall(path, *stamp)) {
    result.Crc = sum->Crc;
    result.Size = stamp->Size;
    result.TestedForBadDump = sum->TestedForBadDump;
    result.BadDump = sum->BadDump;
    result.Recalled = true;
    return true;
  }
  if (TChecksumSession::Settled(*stamp, checked)) result.Stamp = stamp;
  return false;
}

void ExamineLooseDump(const std::string& path, TExamined& result,
                      const std::atomic<bool>* abandon, TStripeHelpers* helpers,
                      const TChecksumSession* sums) {
  if (sums && RecallLooseDump(path, result, *sums)) return;
  try {
    result.Crc = helpers ? SharedFileCrc32(path, *helpers, abandon) : FileCrc32Value(path, abandon);
  } catch (const FileOpenError&) {
    // Listed a moment ago and gone (deleted, or renamed by another
    // program): nothing to mark, and no reason to end the scan.
    if (PathExists(path)) throw;
    result.Kind = TWorkKind::Ignored;
    return;
  }
  if (abandon && abandon->load()) return;
  // For the trimmed-image test. Should the file change between the read and
  // this, the size does not describe the CRC and the test finds nothing.
  const TFileStat stat = CurrentFileSystem().Stat(path);
  if (stat.Type == TFileType::Regular) result.Size = stat.Size;
  if (!MatchesMask(path, kBadDumpMask)) return;
  result.TestedForBadDump = true;
  try {
    result.BadDump = IsBadSmtDump(path);
  } catch (...) {
    result.BadDumpError = std::current_exception();
    result.Stamp.reset();  // tested again next time, to fail the same way
  }
}

void ExamineArchive(const std::string& path, TExamined& result) {
  // A file listed a moment ago may be gone; the reader would keep the
  // previous archive's members, so a fresh reader per archive is used and a
  // vanished one is left out.
  if (!PathExists(path)) {
    result.Kind = TWorkKind::Ignored;
    return;
  }
  TCmpRead reader;
  try {
    reader.SetFileName(path);
  } catch (const FileOpenError& error) {
    result.Skipped = true;
    result.Unexamined = error.what();
    return;
  }
  result.Members = reader.Entries();
}

}  // namespace

std::optional<std::string> WorkListEntry(const std::string& folder, const TFolderEntry& entry,
                                         const TScanMasks& masks) {
  // A path listed as a file may be a folder by the time it is examined; its
  // entries still go below it.
  std::string path = folder;
  if (path.empty() || path.back() != kFolderSeparator) path += kFolderSeparator;
  if (entry.IsFolder) return path + entry.Name + kFolderSeparator;
  if (entry.Unknown || MatchesMaskList(entry.Name, masks.ListingMasks)) return path + entry.Name;
  return std::nullopt;
}

TExamined ExamineWorkItem(const std::string& path, const TScanMasks& masks,
                          const std::atomic<bool>* abandon, TStripeHelpers* helpers,
                          const TChecksumSession* sums) {
  TExamined result;
  try {
    const TFileStat stat = CurrentFileSystem().Stat(path);
    if (stat.Type == TFileType::Folder) {
      result.Kind = TWorkKind::Folder;
      ExamineFolder(path, stat, result);
    } else if (stat.Type == TFileType::Missing && !NothingThere(stat.Error)) {
      result.Unexamined = FileErrorText(TFileOp::Stat, path, stat.Error);
    } else if (MatchesMaskList(path, masks.DatMask)) {
      result.Kind = TWorkKind::LooseDump;
      ExamineLooseDump(path, result, abandon, helpers, sums);
    } else if (MatchesMaskList(path, kArchiveMasks)) {
      result.Kind = TWorkKind::Archive;
      ExamineArchive(path, result);
    }
  } catch (...) {
    result.Error = std::current_exception();
  }
  return result;
}

}  // namespace vexmoor
