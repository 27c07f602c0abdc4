#include "scan/archive/RarVolumeName.h"

#include <cstdint>
#include <string_view>
#include <unordered_set>

#include "catalogue/General.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "scan/cmpread.h"

namespace vexmoor {

namespace {

// Volume numbers beyond this many digits are not names any tool writes.
constexpr size_t kMaxDigits = 9;

// Offset of the file name within the path (after the last separator).
size_t FileNameStart(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? 0 : slash + 1;
}

// Offset of the extension's dot within the file name part, or npos.
size_t ExtensionDot(std::string_view path) {
  const size_t dot = path.rfind('.');
  return (dot == std::string_view::npos || dot < FileNameStart(path)) ? std::string_view::npos : dot;
}

std::optional<int64_t> ParseDecimal(std::string_view text) {
  if (text.empty() || text.size() > kMaxDigits) return std::nullopt;
  int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::string ZeroFilled(int64_t value, size_t width) {
  std::string digits = std::to_string(value);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return digits;
}

int64_t Step(int64_t n, TVolumeDirection direction) { return direction == TVolumeDirection::First ? 0 : n + 1; }

// x.part<N>.rar is volume N - 1; the digits keep their width.
std::optional<std::string> PartStyle(std::string_view path, TVolumeDirection direction) {
  const std::string_view stem = path.substr(0, path.size() - 4);  // without ".rar"
  size_t part = std::string_view::npos;
  for (size_t at = stem.size(); at-- > FileNameStart(path);) {
    if (MatchesMask(stem.substr(at, 5), ".part")) {
      part = at;
      break;
    }
  }
  if (part == std::string_view::npos) return std::nullopt;
  const std::string_view digits = stem.substr(part + 5);
  const std::optional<int64_t> number = ParseDecimal(digits);
  if (!number) return std::nullopt;
  const int64_t n = Step(*number - 1, direction);
  return std::string(path.substr(0, part + 5)) + ZeroFilled(n + 1, digits.size()) +
         std::string(path.substr(path.size() - 4));
}

// x.rar is volume 0, x.r<NN> volume NN + 1.
std::string OldStyle(std::string_view path, TVolumeDirection direction) {
  const std::string_view extension = path.substr(path.size() - 4);
  int64_t n = 0;
  if (!MatchesMask(extension, ".rar")) {
    const std::optional<int64_t> number = ParseDecimal(extension.substr(2));
    if (!number) throw FormatError("Bad rar filename.");
    n = *number + 1;
  }
  n = Step(n, direction);
  // Keep the letter case of the name assigned, for file systems that mind it.
  const bool upper = extension[1] == 'R';
  const std::string base(path.substr(0, path.size() - 4));
  if (n == 0) return base + (MatchesMask(extension, ".rar") ? std::string(extension) : upper ? ".RAR" : ".rar");
  return base + (upper ? ".R" : ".r") + ZeroFilled(n - 1, 2);
}

// x.<NNN> is volume NNN.
std::optional<std::string> NumberStyle(std::string_view path, TVolumeDirection direction) {
  if (path.size() - FileNameStart(path) < 3) return std::nullopt;
  const std::optional<int64_t> number = ParseDecimal(path.substr(path.size() - 3));
  if (!number) return std::nullopt;
  const size_t dot = ExtensionDot(path);
  const std::string base(dot == std::string_view::npos ? path : path.substr(0, dot));
  return base + "." + ZeroFilled(Step(*number, direction), 3);
}

bool IsPartStyle(std::string_view name) { return MatchesMask(name, "*.part?*.rar"); }
bool IsOldStyle(std::string_view name) { return MatchesMask(name, "*.r??"); }
bool IsNumberStyle(std::string_view path) {
  const std::string_view name = path.substr(FileNameStart(path));
  return !IsPartStyle(name) && !IsOldStyle(name);
}

}  // namespace

std::optional<std::string> RarVolumeCandidate(const std::string& path, TVolumeDirection direction) {
  const std::string_view name = std::string_view(path).substr(FileNameStart(path));
  if (IsPartStyle(name)) return PartStyle(path, direction);
  if (IsOldStyle(name)) return OldStyle(path, direction);
  return NumberStyle(path, direction);
}

bool RarVolumeName(std::string& path, TVolumeDirection direction) {
  std::optional<std::string> candidate = RarVolumeCandidate(path, direction);
  if (!candidate || !PathExists(*candidate)) return false;
  path = std::move(*candidate);
  return true;
}

std::vector<std::string> RarBytePieces(const std::string& first) {
  if (!IsNumberStyle(first)) return {};
  // Names can lead back to a file already met (x.999 is followed by
  // x.1000, which reads as volume 0 of the number style): each counts once.
  std::vector<std::string> pieces{first};
  std::unordered_set<std::string> seen{first};
  std::string piece = first;
  while (RarVolumeName(piece, TVolumeDirection::Next) && seen.insert(piece).second &&
         ReadSignature(piece) != kRarSignature)
    pieces.push_back(piece);
  if (pieces.size() == 1) return {};
  return pieces;
}

std::vector<std::string> RarSetVolumes(const std::string& path) {
  if (ReadSignature(path) != kRarSignature) return {path};
  std::string volume = path;
  RarVolumeName(volume, TVolumeDirection::First);
  if (volume != path && ReadSignature(volume) != kRarSignature) volume = path;
  std::vector<std::string> pieces = RarBytePieces(volume);
  if (!pieces.empty()) return pieces;
  std::vector<std::string> volumes{volume};
  std::unordered_set<std::string> seen{volume};
  while (RarVolumeName(volume, TVolumeDirection::Next) && seen.insert(volume).second &&
         ReadSignature(volume) == kRarSignature)
    volumes.push_back(volume);
  return volumes;
}

}  // namespace vexmoor
