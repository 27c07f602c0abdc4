#include "platform/CommandLine.h"

namespace vexmoor {

namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view text) {
  std::vector<std::string> arguments;
  size_t at = 0;
  for (;;) {
    while (at < text.size() && IsSeparator(text[at])) ++at;
    if (at == text.size()) return arguments;
    std::string argument;
    bool quoted = false;
    for (; at < text.size() && (quoted || !IsSeparator(text[at])); ++at) {
      if (text[at] == '"') {
        quoted = !quoted;
      } else {
        argument += text[at];
      }
    }
    arguments.push_back(std::move(argument));
  }
}

}  // namespace vexmoor
