#include "rebuild/SafeName.h"

#include <array>
#include <cstring>

#include "catalogue/TextLines.h"

namespace vexmoor {

namespace {

constexpr size_t kLongestName = 240;

bool Refused(unsigned char c) { return c < 0x20 || c == 0x7F || std::strchr("<>:\"/\\|?*", c); }

// The part before the first dot names the device: "con.txt" is CON too.
bool IsDeviceName(std::string_view name) {
  static constexpr std::array<const char*, 4> kPlain = {"CON", "PRN", "AUX", "NUL"};
  const std::string_view stem = name.substr(0, name.find('.'));
  for (const char* device : kPlain)
    if (SameText(stem, device)) return true;
  if (stem.size() != 4 || stem[3] < '1' || stem[3] > '9') return false;
  return SameText(stem.substr(0, 3), "COM") || SameText(stem.substr(0, 3), "LPT");
}

// Cuts `text` to at most `bytes` bytes without splitting a UTF-8 sequence.
std::string_view CutUtf8(std::string_view text, size_t bytes) {
  if (text.size() <= bytes) return text;
  while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) --bytes;
  return text.substr(0, bytes);
}

std::string Shortened(const std::string& name) {
  if (name.size() <= kLongestName) return name;
  const size_t dot = name.rfind('.');
  const std::string extension =
      dot != std::string::npos && name.size() - dot <= 16 ? name.substr(dot) : std::string();
  return std::string(CutUtf8(name, kLongestName - extension.size())) + extension;
}

}  // namespace

std::string SafeFileName(std::string_view name) {
  std::string safe;
  safe.reserve(name.size());
  for (const char c : name) safe += Refused(static_cast<unsigned char>(c)) ? '_' : c;
  safe = Shortened(safe);
  while (!safe.empty() && (safe.back() == '.' || safe.back() == ' ')) safe.pop_back();
  if (safe.empty()) return "_";
  if (IsDeviceName(safe)) safe.insert(0, 1, '_');
  return safe;
}

}  // namespace vexmoor
