// Splitting a path into its folder and its file name, by the platform's
// folder separators, and the core's UTF-8 paths as std::filesystem paths.
// Pure string work: nothing touches the file system.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vexmoor {

#ifdef _WIN32
inline constexpr std::string_view kPathSeparators = "\\/:";
#else
inline constexpr std::string_view kPathSeparators = "/";
#endif

// The folder part of `path` with its trailing separator ("" for a bare name):
// "/dats/Quen.dat" gives "/dats/".
inline std::string PathFolder(std::string_view path) {
  const size_t at = path.find_last_of(kPathSeparators);
  return at == std::string_view::npos ? std::string() : std::string(path.substr(0, at + 1));
}

// The file name of `path` without its folder: "/dats/Quen.dat" gives "Quen.dat".
inline std::string PathFileName(std::string_view path) {
  const size_t at = path.find_last_of(kPathSeparators);
  return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

// The core's path `utf8` as a std::filesystem path. A plain std::string
// would be taken in the system's narrow encoding, which on Windows is the
// ANSI code page, not UTF-8.
inline std::filesystem::path FilesystemPath(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// A std::filesystem path as the core's UTF-8 text.
inline std::string Utf8Text(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace vexmoor
