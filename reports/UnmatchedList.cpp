#include "reports/UnmatchedList.h"

#include "catalogue/TextLines.h"
#include "platform/File.h"

namespace vexmoor {

TUnmatchedFields UnmatchedFields(const TFolderReport& report, const TDumpRecord& record,
                                 const TCatalogue& catalogue) {
  TUnmatchedFields fields;
  fields.Kind = DumpKindText(record.Kind);
  fields.Location = RecordLocation(record);
  if (record.Kind == TDumpKind::Unreadable) {
    fields.Note = report.ReasonOf(record);
    return fields;
  }
  fields.Size = std::to_string(record.Size);
  fields.Crc = HexLong(record.Crc);
  if (record.Entry >= catalogue.Count()) return fields;
  const TRomItem& item = catalogue[record.Entry];
  fields.EntryIndex = item.Index;
  fields.EntryName = item.Name;
  if (record.Kind == TDumpKind::Duplicate) fields.Note = item.StatusText;
  return fields;
}

std::string UnmatchedListText(const TFolderReport& report, const TCatalogue& catalogue) {
  return UnmatchedLinesText(report, report.Rows(), catalogue);
}

std::string OtherFilesCountsText(const TFolderReport& report) {
  const auto counts = report.Counts();
  std::string text;
  for (const TDumpKind kind : kReportedKinds) {
    if (!text.empty()) text += ' ';
    text += DumpCountText(kind, counts[static_cast<size_t>(kind)]);
  }
  return text;
}

std::string OtherFilesCaption(const TFolderReport* report) {
  if (report == nullptr) return "Other Files";
  return "Other Files (" + std::to_string(report->Rows().size()) + ")";
}

std::string UnmatchedLinesText(const TFolderReport& report,
                               const std::vector<const TDumpRecord*>& rows,
                               const TCatalogue& catalogue) {
  std::string text;
  for (const TDumpRecord* record : rows) {
    const TUnmatchedFields f = UnmatchedFields(report, *record, catalogue);
    for (const std::string* field : {&f.Kind, &f.Location, &f.Size, &f.Crc, &f.EntryIndex, &f.EntryName}) {
      text += OneLineText(*field);
      text += '\t';
    }
    text += OneLineText(f.Note);
    text += "\r\n";
  }
  return text;
}

void SaveUnmatchedList(const TFolderReport& report, const TCatalogue& catalogue,
                       const std::string& path) {
  WriteFileAtomically(path, UnmatchedListText(report, catalogue));
}

}  // namespace vexmoor
