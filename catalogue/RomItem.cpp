#include "catalogue/RomItem.h"

#include <cstring>

namespace vexmoor {

int FlagIndex(const std::string& country) {
  // United States, Europe, Japan, France, China, Germany, Italy,
  // Netherlands, Spain, Korea, Australia: the order of the flag images.
  static constexpr char kFlagLetters[] = "UEJFCGINSKA";
  if (country.empty() || country[0] == '\0') return -1;
  const char* found = std::strchr(kFlagLetters, country[0]);
  return found ? static_cast<int>(found - kFlagLetters) : -1;
}

}  // namespace vexmoor
