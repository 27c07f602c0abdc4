// Dat and file-name bytes as UTF-8 for outputs that must be UTF-8 (JSON).
#pragma once

#include <string>
#include <string_view>

namespace vexmoor {

// `text` unchanged when it is valid UTF-8; otherwise every byte read as
// Windows-1252 (the five bytes that code page leaves undefined map to the
// control characters of the same number, as the desktop's conversion does).
std::string ToUtf8(std::string_view text);

}  // namespace vexmoor
