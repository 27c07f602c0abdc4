// A folder tree nested so deep that its full paths outgrow the system's path
// limit (PATH_MAX, 4096 bytes on Linux): built, written and removed relative
// to open folders, as the plain calls cannot reach it.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace vexmoor::test {

// Levels that put a tree's files far past the system's path limit: ten
// thousand bytes past Linux's 4,096; on Windows (260 without \\?\) about
// 3,200, since wine hands every path whole to Linux, which refuses 4,096
// bytes or more.
#ifdef _WIN32
inline constexpr int kDeepLevels = 75;
#else
inline constexpr int kDeepLevels = 250;
#endif

class DeepTree {
 public:
  // Creates `levels` folders below `root`, each inside the one before, each
  // named "deep-folder-NNN" padded with dashes to 39 bytes (40 with the
  // separator).
  DeepTree(std::string root, int levels);
  // Removes the whole tree.
  ~DeepTree();
  DeepTree(const DeepTree&) = delete;
  DeepTree& operator=(const DeepTree&) = delete;

  static constexpr size_t kLevelBytes = 40;

  // The name of the folder at `level` (from 1): "deep-folder-NNN" padded.
  static std::string LevelName(int level) {
    char name[32];
    std::snprintf(name, sizeof name, "deep-folder-%03d", level);
    std::string padded = name;
    padded.resize(kLevelBytes - 1, '-');
    return padded;
  }

  // The full path of the folder at `level` (0 is the root, no trailing
  // separator).
  std::string Folder(int level) const;
  std::string Bottom() const { return Folder(levels_); }
  // Writes `data` to `name` in the folder at `level`; its full path.
  std::string Write(int level, const std::string& name, std::string_view data) const;
  // Makes `name` in the folder at `level` a link to `target`; its full path.
  std::string Link(int level, const std::string& name, const std::string& target) const;

 private:
  // An open descriptor of the folder at `level`.
  int OpenLevel(int level) const;

  std::string root_;
  int levels_;
};

}  // namespace vexmoor::test
