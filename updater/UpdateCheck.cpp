#include "updater/UpdateCheck.h"

#include <cstdio>

#include "catalogue/DatContainer.h"
#include "catalogue/General.h"
#include "catalogue/TextLines.h"
#include "catalogue/Version.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/Folder.h"
#include "platform/Path.h"
#include "updater/Sodium.h"
#include "updater/UpdateConfig.h"

namespace vexmoor {

namespace {

bool IsUrlPathByte(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  return std::string_view("-._~!$&'()*+,;=@").find(static_cast<char>(c)) != std::string_view::npos;
}

bool HasControlByte(std::string_view text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7f) return true;
  }
  return false;
}

TUpdateRecord MakeRecord(const TUpdateListSection& section, bool isProgram) {
  TUpdateRecord record;
  record.Name = section.ReadString("Name", kMissingListValue);
  record.File = section.ReadString("File", kMissingListValue);
  record.Timestamp = section.ReadFloat("Timestamp", 0);
  record.Version = section.ReadInteger("Version", 0);
  record.Size = section.ReadInteger("Size", 0);
  record.Section = section.Name;
  record.IsProgram = isProgram;
  const std::string sha256 = section.ReadString("Sha256", "");
  if (IsSha256Hex(sha256)) record.Sha256 = AsciiLower(sha256);
  if (const std::string* size = section.Find("Size")) {
    const auto exact = ReadListInteger(*size);
    if (exact && *exact >= 0) record.ExactSize = *exact;
  }
  return record;
}

}  // namespace

double ProgramVersionValue() {
  // The text is the version itself; 6420 / 10000 is the same double.
  return ReadListFloat(kProgramVersionText).value_or(ProgramVersionNumber / 10000.0);
}

bool IsProgramEntry(std::string_view programPath, std::string_view section) {
  try {
    return MatchesMask(programPath, "*" + std::string(section));
  } catch (const FormatError&) {
    return false;  // an unclosed '[' in the name
  }
}

bool IsNewer(double local, double remote) { return remote - local >= kOneMillisecondInDays; }

double LocalDatTimeStamp(const std::string& folder, std::string_view section) {
  if (UnsafeFileNameReason(section)) return 0;
  try {
    return ReadDatTimeStamp(JoinFolder(folder, section));
  } catch (const IoError&) {
    // A file that cannot be read is no dat we could compare; offering the
    // entry lets the download replace it, or report why it cannot.
    return 0;
  }
}

std::vector<TUpdateRecord> OfferedUpdates(const TUpdateList& list, std::string_view programPath,
                                          const std::string& folder, bool offerProgram) {
  std::vector<TUpdateRecord> offered;
  for (const TUpdateListSection& section : list) {
    const bool isProgram = IsProgramEntry(programPath, section.Name);
    if (isProgram && !offerProgram) continue;
    const double local =
        isProgram ? ProgramVersionValue() : LocalDatTimeStamp(folder, section.Name);
    const double remote =
        isProgram ? section.ReadInteger("Version", 0) / 10000.0 : section.ReadFloat("Timestamp", 0);
    if (!IsNewer(local, remote)) continue;
    TUpdateRecord record = MakeRecord(section, isProgram);
    if (isProgram && !record.IsVerifiable()) continue;
    offered.push_back(std::move(record));
  }
  return offered;
}

bool CanReplaceProgram(std::string_view programPath) {
  return !programPath.empty() && programPath.find('"') == std::string_view::npos &&
         IsWritableFolder(PathFolder(programPath));
}

std::string UpdateBaseUrl(std::string_view setting) {
  const std::string_view trimmed = TrimBlanks(setting);
  return std::string(trimmed.empty() ? kDefaultUpdateBaseUrl : trimmed);
}

std::optional<std::string> UnsafeFileNameReason(std::string_view file) {
  if (file == kMissingListValue) return "the entry has no File value";
  if (file.empty()) return "the file name is empty";
  if (file[0] == '/' || file[0] == '\\' || (file.size() >= 2 && file[1] == ':')) {
    return "the file name is an absolute path";
  }
  if (file.find_first_of("/\\") != std::string_view::npos) {
    return "the file name contains a path separator";
  }
  if (file.find(':') != std::string_view::npos) return "the file name contains a ':'";
  if (file.find("..") != std::string_view::npos) return "the file name contains \"..\"";
  if (HasControlByte(file)) return "the file name contains a control character";
  return std::nullopt;
}

std::optional<std::string> UnsafeDatNameReason(std::string_view file) {
  constexpr std::string_view kDatSuffix = ".qdat";
  if (file.size() <= kDatSuffix.size() ||
      !SameText(file.substr(file.size() - kDatSuffix.size()), kDatSuffix)) {
    return "a dat entry may only write a \".qdat\" file";
  }
  return std::nullopt;
}

std::optional<std::string> RefusedDownloadReason(const TUpdateRecord& record,
                                                 std::string_view programPath,
                                                 const std::string& folder) {
  if (auto reason = UnsafeFileNameReason(record.File)) return reason;
  if (!record.IsProgram) {
    if (auto reason = UnsafeDatNameReason(record.File)) return reason;
  }
  if (!record.IsVerifiable()) return "the update list gives no Sha256 and Size for it";
  if (record.ExactSize > static_cast<int64_t>(kMaxUpdateFileSize))
    return "its Size is over the " + std::to_string(kMaxUpdateFileSize >> 20) +
           " MB a download may have";
  const std::string path = JoinFolder(folder, LocalUpdateName(record, programPath));
  const TWriteTargetState target = ExamineWriteTarget(path);
  switch (target.Kind) {
    case TWriteTargetKind::Link:
      return "\"" + path + "\" is a link";
    case TWriteTargetKind::Other:
      return "\"" + path + "\" is not a regular file";
    case TWriteTargetKind::Regular:
      if (target.Executable && !record.IsProgram) return "\"" + path + "\" is an executable";
      break;
    case TWriteTargetKind::Missing:
      break;
  }
  return std::nullopt;
}

bool IsProgramDownload(const TUpdateRecord& record, std::string_view) { return record.IsProgram; }

std::string LocalUpdateName(const TUpdateRecord& record, std::string_view programPath) {
  if (!IsProgramDownload(record, programPath)) return record.File;
  return std::string(kUpdatedProgramPrefix) + PathFileName(programPath);
}

std::string JoinFolder(const std::string& folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  const char last = folder.back();
  if (last == '/' || last == '\\') return folder + std::string(name);
  return folder + "/" + std::string(name);
}

std::string UpdateFileUrl(std::string_view baseUrl, std::string_view file) {
  std::string url(baseUrl);
  for (unsigned char c : file) {
    if (IsUrlPathByte(c)) {
      url += static_cast<char>(c);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      url += escaped;
    }
  }
  return url;
}

}  // namespace vexmoor
