// The "Recent Dats" list: the last dats loaded, newest first, as the
// settings keep them (one path a line).
#pragma once

#include <string>
#include <vector>

namespace vexmoor {

inline constexpr size_t kRecentDatCount = 5;

// `recent` with `path` put first: an earlier mention of the same path is
// dropped, and the list is cut to kRecentDatCount. An empty path changes
// nothing.
std::vector<std::string> AddRecentDat(std::vector<std::string> recent, const std::string& path);

// The list as the setting stores it (paths joined by LF) and back; blank
// lines are dropped and the list is cut to kRecentDatCount when read.
std::string RecentDatsText(const std::vector<std::string>& recent);
std::vector<std::string> ParseRecentDats(const std::string& text);

}  // namespace vexmoor
