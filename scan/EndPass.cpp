#include "scan/EndPass.h"

#include <cstdint>
#include <vector>

#include "catalogue/DigestKind.h"
#include "catalogue/General.h"
#include "platform/Folder.h"
#include "scan/WorkItem.h"

namespace vexmoor {

namespace {

bool IsBlank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

}  // namespace

TLocationParts SplitLocation(const std::string& location) {
  // The archive part is the shortest prefix, ended by '\', that names an
  // archive; archive paths are absolute, so it never starts in a member name.
  for (size_t at = location.find('\\'); at != std::string::npos; at = location.find('\\', at + 1)) {
    if (MatchesMaskList(std::string_view(location).substr(0, at), kArchiveMasks)) {
      return {location.substr(at + 1), location.substr(0, at + 1)};
    }
  }
  const size_t slash = location.rfind(kFolderSeparator);
  if (slash == std::string::npos) return {location, ""};
  return {location.substr(slash + 1), location.substr(0, slash + 1)};
}

std::string FoundDumpFile(const TRomItem& item) {
  if ((item.Status != StatusFound && item.Status != StatusBad) || IsBlank(item.StatusText)) return {};
  const TLocationParts parts = SplitLocation(item.StatusText);
  // A member's folder part is the archive's path and its '\'.
  if (!parts.Folder.empty() && parts.Folder.back() == '\\') return parts.Folder.substr(0, parts.Folder.size() - 1);
  return item.StatusText;
}

std::optional<std::string> EndPassStatusText(const TRomItem& item) {
  switch (item.Status) {
    case StatusMissing:
      return "Missing";
    case StatusFound: {
      if (IsBlank(item.StatusText)) return std::nullopt;
      const TLocationParts parts = SplitLocation(item.StatusText);
      return "Found : \"" + parts.FileName + "\"  ::  \"" + parts.Folder + "\"" +
             (item.Trimmed ? kTrimmedMark : "") + VerifiedMark(item);
    }
    case StatusCached:
      return "Cached";
    case StatusBad:
      return "Bad : " + SplitLocation(item.StatusText).FileName + " \n Error : Bad SMT v1.0 Dump";
    default:
      return std::nullopt;
  }
}

std::string VerifiedMark(const TRomItem& item) {
  if (DatDigests(item) == 0) return {};
  if (item.VerifiedBy == 0) return " [CRC only]";
  return std::string(" [") + DigestCaption(item.VerifiedBy) + " verified]";
}

std::string MatchedText(int32_t matched) { return " Matched : " + std::to_string(matched); }
std::string SkippedText(int32_t skipped) { return " Skipped : " + std::to_string(skipped); }
std::string FoundText(int32_t found) { return " Found : " + std::to_string(found); }
std::string MissingText(int32_t missing) { return " Missing : " + std::to_string(missing); }

std::string CacheFilePath(const TAuditState& state) {
  return ChangeExt(state.DatPath.empty() ? state.CurrentDat : state.DatPath, ".qcache");
}

void RunEndPass(TAuditState& state, TRomList& list, const std::function<void()>& pump) {
  // The rows' order now: a column click during a pump moves the rows, not
  // the order the cache table is added to in.
  std::vector<size_t> entries;
  entries.reserve(list.Count());
  for (const TListRow& row : list) entries.push_back(row.Entry);
  // Which entries get a text of the pass; the list formats it when shown.
  std::vector<uint8_t> written(state.Catalogue.Count());
  int32_t found = 0;
  for (size_t position = 0; position < entries.size(); ++position) {
    if (pump && position > 0 && position % kRowsBetweenPumps == 0) pump();
    const TRomItem& item = state.Catalogue[entries[position]];
    written[entries[position]] = EndPassStatusText(item).has_value();
    if (item.Status == StatusFound) {
      CacheSet(state.CacheTable, item.Crc, kCacheFlagCached);
      ++found;
    }
  }
  list.WriteStatusTexts(written, &EndPassStatusText);
  state.FoundCount = found;
  // Without a loaded dat the table holds nothing of this scan, and the
  // cache file the settings' bare name leads to belongs to a dat that is
  // missing: writing would wipe it.
  if (state.CacheResults && !state.DatPath.empty())
    WriteCacheFile(state.CacheTable, CacheFilePath(state));
}

}  // namespace vexmoor
