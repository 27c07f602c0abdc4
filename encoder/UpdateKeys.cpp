#include "encoder/UpdateKeys.h"

#include "catalogue/General.h"
#include "catalogue/TextLines.h"
#include "catalogue/Version.h"
#include "encoder/EncodeTime.h"
#include "platform/Errors.h"

namespace vexmoor {

TUpdateKey ProgramUpdateKey(double encodeTime) {
  return {std::string(kAuditorProgramFileName), std::to_string(ProgramVersionNumber),
          TimeStampText(encodeTime), std::string(kProductName)};
}

std::string UpdateKeyLine(const TUpdateKey& key) {
  return key.File + "|" + key.Version + "|" + key.TimeStamp + "|" + key.Name + "|";
}

std::string UpdateKeysText(const std::vector<TUpdateKey>& keys) {
  std::string text;
  for (const TUpdateKey& key : keys) text += UpdateKeyLine(key) + "\r\n";
  return text;
}

std::vector<TUpdateKey> ParseUpdateKeys(std::string_view text) {
  std::vector<TUpdateKey> keys;
  size_t number = 0;
  for (std::string_view line : SplitLines(text)) {
    ++number;
    if (line.empty()) continue;
    const std::vector<std::string> fields = Explode('|', line);
    if (fields.size() != 4 || line.back() != '|') {
      throw FormatError("Update keys line " + std::to_string(number) +
                        " does not hold four fields each ended by '|'");
    }
    keys.push_back({fields[0], fields[1], fields[2], fields[3]});
  }
  return keys;
}

}  // namespace vexmoor
