#include "cli/AuditOutput.h"

#include <algorithm>
#include <cstdio>

#include "catalogue/DigestKind.h"

#include "catalogue/TextEncoding.h"
#include "catalogue/TextLines.h"
#include "cli/Commands.h"
#include "reports/UnmatchedList.h"
#include "scan/EndPass.h"

namespace vexmoor::cli {

const char* StatusWord(int32_t status) {
  switch (status) {
    case StatusFound:
      return "found";
    case StatusCached:
      return "cached";
    case StatusBad:
      return "bad";
    default:
      return "missing";
  }
}

namespace {

constexpr size_t kPieceBytes = 64 * 1024;

// Hands `text` to `sink` once it holds a piece's worth, and empties it.
void PassOn(std::string& text, const TTextSink& sink, bool last = false) {
  if (text.size() < kPieceBytes && !last) return;
  if (!text.empty()) sink(text);
  text.clear();
}

std::string Collected(const std::function<void(const TTextSink&)>& write) {
  std::string all;
  write([&all](std::string_view piece) { all += piece; });
  return all;
}

}  // namespace

std::string AuditText(const TAuditState& state, const TRomList& list) {
  return Collected([&](const TTextSink& sink) { WriteAuditText(state, list, sink); });
}

void WriteAuditText(const TAuditState& state, const TRomList& list, const TTextSink& sink) {
  std::string text;
  text.reserve(kPieceBytes + 4096);
  for (const TListRow& row : list) {
    PassOn(text, sink);
    const TRomItem& item = state.Catalogue[row.Entry];
    const std::string crc = HexLong(item.Crc);
    // The dat's texts and the location may hold any byte: escaped, a name
    // can neither split its line nor forge one, nor steer a terminal.
    for (const std::string_view field : {std::string_view(item.Index), std::string_view(crc),
                                         std::string_view(StatusWord(item.Status)),
                                         std::string_view(item.Name)}) {
      text += PrintableText(field);
      text += '\t';
    }
    text += PrintableText(item.StatusText);
    if (item.Trimmed) text += kTrimmedMark;
    if (!item.StatusText.empty() && (item.Status == StatusFound || item.Status == StatusBad))
      text += VerifiedMark(item);
    text += '\n';
  }
  const auto total = static_cast<int32_t>(state.Catalogue.Count());
  text += FoundText(state.FoundCount) + '\n' + MissingText(total - state.FoundCount) + '\n';
  PassOn(text, sink, true);
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : ToUtf8(text)) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      out += escape;
    } else {
      out += c;
    }
  }
  return out + '"';
}

namespace {

std::string Field(const char* name, const std::string& jsonValue) {
  return std::string("\"") + name + "\":" + jsonValue;
}

// "verified" is given for the entries a dump found, and only with a dat
// that gives strong checksums: a dat of CRCs alone prints what it always did.
std::string VerifiedJson(const TRomItem& item, bool datHasDigests) {
  if (!datHasDigests || item.StatusText.empty() ||
      (item.Status != StatusFound && item.Status != StatusBad))
    return {};
  return "," + Field("verified", JsonString(item.VerifiedBy ? DigestKey(item.VerifiedBy) : "crc"));
}

std::string MismatchJson(const TChecksumMismatch& mismatch, const TRomItem& entry) {
  return "{" + Field("path", JsonString(mismatch.Path)) + "," +
         Field("member", JsonString(mismatch.Member)) + "," +
         Field("size", std::to_string(mismatch.Size)) + "," +
         Field("crc", JsonString(HexLong(mismatch.Crc))) + "," +
         Field("index", JsonString(entry.Index)) + "," + Field("name", JsonString(entry.Name)) +
         "," + Field("checksum", JsonString(DigestKey(mismatch.Checksum))) + "}";
}

std::string EntryJson(const TRomItem& item, bool datHasDigests) {
  return "{" + Field("index", JsonString(item.Index)) + "," +
         Field("crc", JsonString(HexLong(item.Crc))) + "," + Field("name", JsonString(item.Name)) +
         "," + Field("country", JsonString(item.Country)) + "," +
         Field("status", JsonString(StatusWord(item.Status))) + "," +
         Field("location", JsonString(item.StatusText)) +
         (item.Trimmed ? "," + Field("trimmed", "true") : "") + VerifiedJson(item, datHasDigests) +
         "}";
}

// One row of the folder report: only the facts it has (no size or CRC for
// a path not examined, no entry for an unknown dump).
std::string UnmatchedRowJson(const TFolderReport& folder, const TDumpRecord& record,
                             const TCatalogue& catalogue) {
  const TUnmatchedFields fields = UnmatchedFields(folder, record, catalogue);
  std::string json = "{" + Field("kind", JsonString(fields.Kind)) + "," +
                     Field("path", JsonString(record.Path));
  if (!record.Member.empty()) json += "," + Field("member", JsonString(record.Member));
  if (record.Kind != TDumpKind::Unreadable) {
    json += "," + Field("size", fields.Size) + "," + Field("crc", JsonString(fields.Crc));
  }
  if (!fields.EntryIndex.empty() || !fields.EntryName.empty()) {
    json += "," + Field("entry", "{" + Field("index", JsonString(fields.EntryIndex)) + "," +
                                     Field("name", JsonString(fields.EntryName)) + "}");
  }
  if (record.Kind == TDumpKind::Duplicate) json += "," + Field("counted", JsonString(fields.Note));
  if (record.Kind == TDumpKind::Unreadable) json += "," + Field("reason", JsonString(fields.Note));
  return json + "}";
}

std::string UnmatchedJson(const TFolderReport& folder, const TCatalogue& catalogue) {
  std::string json = "[";
  for (const TDumpRecord* record : folder.Rows()) {
    if (json.size() > 1) json += ",";
    json += UnmatchedRowJson(folder, *record, catalogue);
  }
  return json + "]";
}

}  // namespace

std::string UnmatchedCountLines(const TFolderReport& folder) {
  const auto counts = folder.Counts();
  std::string text;
  for (const TDumpKind kind : kReportedKinds)
    text += DumpCountText(kind, counts[static_cast<size_t>(kind)]) + '\n';
  return text;
}

std::string AuditJson(const TAuditState& state, const TRomList& list, const TScanOutcome& outcome,
                      bool unmatched) {
  return Collected([&](const TTextSink& sink) { WriteAuditJson(state, list, outcome, unmatched, sink); });
}

void WriteAuditJson(const TAuditState& state, const TRomList& list, const TScanOutcome& outcome,
                    bool unmatched, const TTextSink& sink) {
  const auto total = static_cast<int32_t>(state.Catalogue.Count());
  std::string json =
      "{" +
      Field("dat",
            "{" + Field("path", JsonString(state.DatPath)) + "," +
                Field("name", JsonString(state.DatHeader.ReadString("INFO", "NAME", ""))) + "," +
                Field("system", JsonString(state.DatHeader.ReadString("INFO", "SYSTEM", ""))) +
                "}");
  json += "," + Field("total", std::to_string(total));
  json += "," + Field("found", std::to_string(state.FoundCount));
  json += "," + Field("missing", std::to_string(total - state.FoundCount));
  json += "," + Field("matched", std::to_string(outcome.Matched));
  json += "," + Field("skipped", std::to_string(outcome.Skipped));
  json += "," + Field("cancelled", outcome.Cancelled ? "true" : "false");
  json += ",\"entries\":[";
  const bool datHasDigests = std::any_of(state.Catalogue.begin(), state.Catalogue.end(),
                                         [](const TRomItem& item) { return DatDigests(item) != 0; });
  for (size_t row = 0; row < list.Count(); ++row) {
    PassOn(json, sink);
    if (row != 0) json += ",";
    json += EntryJson(state.Catalogue[list[row].Entry], datHasDigests);
  }
  if (datHasDigests) {
    json += "],\"mismatched\":[";
    for (size_t at = 0; at < outcome.Mismatches.size(); ++at)
      json += (at != 0 ? "," : "") +
              MismatchJson(outcome.Mismatches[at], state.Catalogue[outcome.Mismatches[at].Entry]);
  }
  json += "],\"unexamined\":[";
  for (size_t at = 0; at < outcome.Unexamined.size(); ++at)
    json += (at != 0 ? "," : "") + JsonString(outcome.Unexamined[at]);
  json += "]";
  if (unmatched) json += ",\"unmatched\":" + UnmatchedJson(outcome.Folder, state.Catalogue);
  json += "}\n";
  PassOn(json, sink, true);
}

}  // namespace vexmoor::cli
