// The parameter splitter on any text: no crash, never more characters out
// than in, and a switch's quoted path without quotes of its own always comes
// back whole as the second argument.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  size_t characters = 0;
  for (const std::string& argument : vexmoor::SplitCommandLine(text)) characters += argument.size();
  if (characters > text.size()) std::abort();
  if (text.find('"') == std::string_view::npos) {
    const auto arguments = vexmoor::SplitCommandLine("-update \"" + std::string(text));
    if (arguments.size() != 2 || arguments[0] != "-update" || arguments[1] != text) std::abort();
  }
  return 0;
}
