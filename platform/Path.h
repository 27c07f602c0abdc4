// Splitting a path into its folder and its file name, by the platform's
// folder separators. Pure string work: nothing touches the file system.
#pragma once

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

}  // namespace vexmoor
