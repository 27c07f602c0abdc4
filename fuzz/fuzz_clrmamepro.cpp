// Arbitrary bytes as a clrmamepro dat text: a parse gives entries with a
// release number, or a FormatError; never a crash or a hang (nesting is
// walked without recursion).
#include <cstddef>
#include <cstdint>

#include "catalogue/ClrMameProDat.h"
#include "platform/Errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vexmoor;
  try {
    const TGameDat dat = ParseClrMameProDat({reinterpret_cast<const char*>(data), size});
    for (const TRomItem& entry : dat.Entries) {
      if (entry.Index.size() < 4 || entry.Country.size() > 1) __builtin_trap();
    }
  } catch (const FormatError&) {
  }
  return 0;
}
