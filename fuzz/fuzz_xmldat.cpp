// Arbitrary bytes as an XML dat (Logiqx or OfflineList, as the root says):
// a well-formed parse gives entries with a release number and at most a
// flag letter; anything else is a FormatError.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "catalogue/XmlDat.h"
#include "platform/Errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vexmoor;
  try {
    const TGameDat dat = ParseXmlDat({reinterpret_cast<const char*>(data), size});
    for (const TRomItem& entry : dat.Entries) {
      if (entry.Index.empty() || entry.Country.size() > 1) __builtin_trap();
      if (FlagIndex(entry.Country) < 0 && !entry.Country.empty()) __builtin_trap();
    }
    for (const std::string& extension : dat.Extensions) {
      if (extension.empty()) __builtin_trap();
    }
  } catch (const FormatError&) {
  }
  return 0;
}
