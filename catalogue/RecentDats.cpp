#include "catalogue/RecentDats.h"

#include <algorithm>

#include "catalogue/General.h"

namespace vexmoor {

std::vector<std::string> AddRecentDat(std::vector<std::string> recent, const std::string& path) {
  if (path.empty()) return recent;
  std::erase(recent, path);
  recent.insert(recent.begin(), path);
  if (recent.size() > kRecentDatCount) recent.resize(kRecentDatCount);
  return recent;
}

std::string RecentDatsText(const std::vector<std::string>& recent) {
  std::string text;
  for (const std::string& path : recent) text += (text.empty() ? "" : "\n") + path;
  return text;
}

std::vector<std::string> ParseRecentDats(const std::string& text) {
  std::vector<std::string> recent;
  for (const std::string_view line : ExplodeViews("\n", text)) {
    if (!line.empty() && recent.size() < kRecentDatCount) recent.emplace_back(line);
  }
  return recent;
}

}  // namespace vexmoor
