#include "updater/UpdatePublish.h"

#include <charconv>

#include "catalogue/DatContainer.h"
#include "encoder/UpdateKeys.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/Path.h"
#include "updater/Sodium.h"
#include "updater/UpdateCheck.h"

namespace vexmoor {

namespace {

// The shortest text that reads back as exactly `value`.
std::string ExactNumberText(double value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

void AddKey(std::string& text, const char* key, const std::string& value) {
  text += std::string(key) + "=" + value + "\r\n";
}

class TListWriter {
 public:
  explicit TListWriter(const std::string& keysPath) : folder_(PathFolder(keysPath)) {}

  void AddSection(const TUpdateKey& key, size_t line, bool isProgram) {
    if (const auto reason = UnsafeFileNameReason(key.File)) {
      throw FormatError("update keys entry " + std::to_string(line) + ": " + *reason);
    }
    const std::string path = folder_ + key.File;
    const bool present = PathExists(path) && !IsFolder(path);
    if (!present)
      result_.Warnings.push_back(key.File +
                                 " is not beside the keys file: no Size or Sha256 given");
    std::string& text = result_.Text;
    if (!text.empty()) text += "\r\n";
    text += "[" + key.File + "]\r\n";
    AddKey(text, "Name", key.Name);
    AddKey(text, "File", key.File);
    AddKey(text, "Version", key.Version);
    if (!isProgram) AddKey(text, "Timestamp", DatTimeStampText(key, path, present));
    if (present) {
      AddKey(text, "Size", std::to_string(TInputFile(path).Size()));
      AddKey(text, "Sha256", FileSha256Hex(path));
    }
  }

  TPublishedList Take() { return std::move(result_); }

 private:
  static std::string DatTimeStampText(const TUpdateKey& key, const std::string& path,
                                      bool present) {
    const double stamp = present ? ReadDatTimeStamp(path) : 0;
    return stamp != 0 ? ExactNumberText(stamp) : key.TimeStamp;
  }

  std::string folder_;
  TPublishedList result_;
};

}  // namespace

TPublishedList PublishUpdateList(const std::string& keysPath) {
  const std::vector<TUpdateKey> keys = ParseUpdateKeys(ReadWholeFile(keysPath));
  if (keys.empty()) throw FormatError("the update keys file holds no lines");
  TListWriter writer(keysPath);
  for (size_t i = 0; i < keys.size(); ++i) writer.AddSection(keys[i], i + 1, i + 1 == keys.size());
  return writer.Take();
}

}  // namespace vexmoor
