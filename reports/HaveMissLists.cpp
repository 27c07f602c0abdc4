#include "reports/HaveMissLists.h"

#include <algorithm>
#include <vector>

#include "catalogue/TextCompare.h"
#include "catalogue/TextLines.h"
#include "platform/File.h"
#include "platform/Folder.h"
#include "reports/UnmatchedList.h"

namespace vexmoor {

namespace {

std::string ReportText(const std::string& header, std::vector<std::string> names) {
  std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return LocaleCompareNoCase(a, b) < 0;
  });
  std::string text = OneLineText(header) + "\r\n\r\n";
  for (const std::string& name : names) text += OneLineText(name) + "\r\n";
  return text;
}

std::string SafeFileName(const std::string& dat) {
  std::string name = OneLineText(dat);
  std::replace(name.begin(), name.end(), '/', '_');
  std::replace(name.begin(), name.end(), '\\', '_');
  return name;
}

}  // namespace

THaveMissLists BuildHaveMissLists(const TAuditState& state) {
  const std::string name = state.DatHeader.ReadString("INFO", "NAME", "");
  const std::string system = state.DatHeader.ReadString("INFO", "SYSTEM", "");
  std::vector<std::string> have, miss;
  for (const TRomItem& item : state.Catalogue) {
    if (item.Status == StatusFound) have.push_back(item.Name);
    if (item.Status == StatusMissing) miss.push_back(item.Name);
  }
  const auto total = static_cast<int32_t>(state.Catalogue.Count());
  const std::string of = " of " + std::to_string(total) + " " + system + " roms.";
  THaveMissLists lists;
  lists.HaveFileName = SafeFileName(name) + "-Have.txt";
  lists.HaveText = ReportText("You have " + std::to_string(state.FoundCount) + of, std::move(have));
  lists.MissFileName = SafeFileName(name) + "-Miss.txt";
  lists.UnknownFileName = SafeFileName(name) + "-Unknown.txt";
  lists.MissText = ReportText("You are missing " + std::to_string(total - state.FoundCount) + of,
                              std::move(miss));
  return lists;
}

void SaveHaveMissLists(const TAuditState& state, const std::string& folder,
                       const TFolderReport* report) {
  const THaveMissLists lists = BuildHaveMissLists(state);
  std::string prefix = folder;
  if (!prefix.empty() && prefix.back() != kFolderSeparator) prefix += kFolderSeparator;
  // Both complete beside their targets before either replaces its file, and
  // the have list taken back when the miss list cannot follow it, so a new
  // have list never stands beside a stale miss list.
  TPendingFile have(prefix + lists.HaveFileName, lists.HaveText);
  TPendingFile miss(prefix + lists.MissFileName, lists.MissText);
  if (!report) return CommitTogether({&have, &miss});
  TPendingFile unknown(prefix + lists.UnknownFileName, UnmatchedListText(*report, state.Catalogue));
  CommitTogether({&have, &miss, &unknown});
}

}  // namespace vexmoor
