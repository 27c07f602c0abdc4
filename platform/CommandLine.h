// The one rule by which a parameter text becomes an argument list, shared by
// the program start (which has no shell to do it) and its tests.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vexmoor {

// Splits `text` into arguments. Runs of spaces (or tabs) separate arguments;
// a double quote switches quoting on or off and is dropped, so a quoted part
// keeps its spaces and may sit inside a word (a"b c" gives ab c); a quote
// that is never closed runs to the end of the text, trailing spaces included.
// An argument written as "" is kept as an empty argument.
//   SplitCommandLine("-update \"/my dir/moorscan") == {"-update", "/my dir/moorscan"}
std::vector<std::string> SplitCommandLine(std::string_view text);

}  // namespace vexmoor
