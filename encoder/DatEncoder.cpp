#include "encoder/DatEncoder.h"

#include <optional>
#include <utility>

#include "catalogue/DatContainer.h"
#include "catalogue/DatHeader.h"
#include "catalogue/General.h"
#include "catalogue/TextLines.h"
#include "encoder/IniTimestamp.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/Path.h"

namespace vexmoor {

namespace {

TDatHeader HeaderOf(std::string_view text) {
  return TDatHeader(SplitLines(WithoutByteOrderMark(text)));
}

// Refuses what would destroy data: a container as a source would be packed
// twice and its bytes edited as text, and a source named like its container
// would be replaced by it.
void CheckSource(const std::string& source, const std::string& output, std::string_view text) {
  if (text.substr(0, kContainerMagic.size()) == kContainerMagic) {
    throw FormatError("\"" + source + "\" is already an encoded dat");
  }
  if (const std::string reason = NotDatTextReason(text); !reason.empty()) {
    throw FormatError("\"" + source + "\" is not encoded: " + reason);
  }
  if (SameText(source, output)) {
    throw FormatError("\"" + source + "\" cannot be encoded: its encoded file would replace it");
  }
}

TUpdateKey KeyOf(const std::string& output, std::string_view text) {
  const TDatHeader header = HeaderOf(text);
  return {PathFileName(output), header.ReadString(kInfoSection, "VERSION", ""),
          header.ReadString(kInfoSection, "TIMESTAMP", ""),
          header.ReadString(kInfoSection, "NAME", "")};
}

// A '|' in a field would shift the fields of its keys line.
void CheckKeyFields(const std::string& source, const TUpdateKey& key) {
  const std::pair<const char*, const std::string*> fields[] = {
      {"file name", &key.File}, {"VERSION", &key.Version}, {"NAME", &key.Name}};
  for (const auto& [what, value] : fields) {
    if (value->find('|') != std::string::npos) {
      throw FormatError("The " + std::string(what) + " of \"" + source +
                        "\" holds a '|', which the update keys file cannot carry");
    }
  }
}

// Everything is checked and built in memory before the first write.
TUpdateKey EncodeOne(const std::string& source, const std::string& output, double encodeTime,
                     const TEncodeOptions& options) {
  const std::string original = ReadWholeFile(source);
  CheckSource(source, output, original);
  const std::string text =
      options.UpdateTimeStamps ? SetDatTimeStamp(original, TimeStampText(encodeTime)) : original;
  TUpdateKey key = KeyOf(output, text);
  if (options.CreateUpdateKeysFile) CheckKeyFields(source, key);
  // Both files complete beside their targets, then the container first, and
  // taken back when the stamped source cannot follow it: a write that fails
  // leaves both as they were.
  TPendingFile container(output, MakeDatContainer(WithCrLfLineEnds(text), encodeTime));
  std::optional<TPendingFile> stamped;
  if (text != original) stamped.emplace(source, text);
  if (stamped)
    CommitTogether({&container, &*stamped});
  else
    container.Commit();
  return key;
}

}  // namespace

std::string EncodedDatPath(const std::string& source) {
  return PathFolder(source) + ChangeExt(PathFileName(source), ".qdat");
}

std::string NotDatTextReason(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return std::string(kNotTextReason);
  for (const std::string_view line : SplitLines(WithoutByteOrderMark(text))) {
    const std::string_view trimmed = TrimBlanks(line);
    if (SameText(trimmed, "[INFO]") || SameText(trimmed, "[DAT]")) return {};
  }
  return std::string(kNoSectionReason);
}

std::string NotDatFileReason(const std::string& path) {
  try {
    TInputFile file(path);
    // The head first: a dump is told apart without reading it whole.
    std::string head(kDatTextProbeSize, '\0');
    head.resize(file.ReadFull(head.data(), head.size()));
    if (head.find('\0') != std::string::npos) return std::string(kNotTextReason);
    if (file.Size() > kMaxDatTextSize) return std::string(kTooLargeReason);
    return NotDatTextReason(ReadWholeFile(path));
  } catch (const IoError& error) {
    return error.what();
  }
}

std::string EncoderRowName(const std::string& path) {
  const std::string fileName = PathFileName(path);
  try {
    return HeaderOf(ReadWholeFile(path)).ReadString(kInfoSection, "NAME", fileName);
  } catch (const IoError&) {
    return fileName;
  }
}

TEncodeResult EncodeDats(const std::vector<std::string>& sources, const TEncodeOptions& options,
                         const TEncodeStatusHandler& onStatus) {
  TEncodeResult result;
  result.EncodeTime = EncodeTime(options.Clock ? options.Clock() : ReadLocalClock());
  if (sources.empty()) return result;
  for (size_t row = 0; row < sources.size(); ++row) {
    const std::string output = EncodedDatPath(sources[row]);
    result.Keys.push_back(EncodeOne(sources[row], output, result.EncodeTime, options));
    result.Outputs.push_back(output);
    if (onStatus) onStatus(row, kStatusEncoded);
  }
  result.Keys.push_back(ProgramUpdateKey(result.EncodeTime));
  if (options.CreateUpdateKeysFile) {
    result.KeysFile = PathFolder(sources.front()) + std::string(kUpdateKeysFileName);
    WriteFileAtomically(result.KeysFile, UpdateKeysText(result.Keys));
  }
  return result;
}

}  // namespace vexmoor
