// File names every common file system accepts.
#pragma once

#include <string>
#include <string_view>

namespace vexmoor {

// `name` as a single file name Windows, macOS and Linux all accept: each of
// < > : " / \ | ? * and every control character becomes '_', trailing dots
// and spaces are cut off, a reserved device name (CON, PRN, AUX, NUL, COM1
// to COM9, LPT1 to LPT9, with any extension) gets a leading '_', and a name
// longer than 240 bytes is cut at a character boundary (its extension kept).
// An empty result is "_". A name that needs none of this comes back as it is.
std::string SafeFileName(std::string_view name);

}  // namespace vexmoor
