#include "scan/FolderReport.h"

#include <string_view>
#include <utility>

#include "platform/Folder.h"
#include "platform/Path.h"

namespace vexmoor {

const char* DumpKindText(TDumpKind kind) {
  switch (kind) {
    case TDumpKind::Matched:
      return "Matched";
    case TDumpKind::Unknown:
      return "Unknown";
    case TDumpKind::Duplicate:
      return "Duplicate";
    case TDumpKind::WrongSize:
      return "Wrong size";
    case TDumpKind::ChecksumMismatch:
      return "Checksum mismatch";
    case TDumpKind::BadDump:
      return "Bad dump";
    case TDumpKind::Unreadable:
      return "Unreadable";
  }
  return "Unknown";
}

std::string RecordLocation(const TDumpRecord& record) {
  if (record.Member.empty()) return record.Path;
  return record.Path + '\\' + record.Member;
}

std::string RecordFolder(const TDumpRecord& record) {
  std::string_view path = record.Path;
  if (!path.empty() && path.back() == kFolderSeparator) path.remove_suffix(1);
  return PathFolder(path);
}

TDumpRecord& TFolderReport::Add(TDumpKind kind, std::string path, std::string member) {
  TDumpRecord& record = records_.emplace_back();
  record.Kind = kind;
  record.Path = std::move(path);
  record.Member = std::move(member);
  return record;
}

void TFolderReport::AddUnreadable(std::string path, std::string reason) {
  Add(TDumpKind::Unreadable, std::move(path)).Reason = static_cast<uint32_t>(reasons_.size());
  reasons_.push_back(std::move(reason));
}

const std::string& TFolderReport::ReasonOf(const TDumpRecord& record) const {
  static const std::string none;
  return record.Reason < reasons_.size() ? reasons_[record.Reason] : none;
}

std::vector<const TDumpRecord*> TFolderReport::Rows() const {
  std::vector<const TDumpRecord*> rows;
  for (const TDumpRecord& record : records_)
    if (record.Kind != TDumpKind::Matched) rows.push_back(&record);
  return rows;
}

std::array<size_t, kDumpKinds> TFolderReport::Counts() const {
  std::array<size_t, kDumpKinds> counts{};
  for (const TDumpRecord& record : records_) ++counts[static_cast<size_t>(record.Kind)];
  return counts;
}

std::string DumpCountText(TDumpKind kind, size_t count) {
  return std::string(" ") + DumpKindText(kind) + " : " + std::to_string(count);
}

}  // namespace vexmoor
