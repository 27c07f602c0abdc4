// Arbitrary bytes as a dat text: the header view, the native loader's parse
// and the Rom Center parse.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "catalogue/DatLoader.h"
#include "catalogue/DatText.h"
#include "catalogue/TextLines.h"
#include "platform/Errors.h"

namespace {

void ParseRomCenter(std::string_view text) {
  using namespace vexmoor;
  const auto lines = SplitLines(text);
  TDatHeader header(lines);
  header.ReadString("INFO", "NAME", "");
  TCatalogue catalogue;
  try {
    AppendRomCenterEntries(catalogue, lines, RomCenterDataStart(lines));
  } catch (const FormatError&) {
  }
  // Every entry has its number; only the last can be cut short by a bad CRC.
  for (size_t i = 0; i < catalogue.Count(); ++i) {
    if (catalogue[i].Index.size() < 4) __builtin_trap();
    if (i + 1 < catalogue.Count() && catalogue[i].Country != " ") __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vexmoor;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TLoadedDat loaded;
  try {
    LoadNativeText(loaded, "fuzz.qdat", text);
  } catch (const FormatError&) {
  }
  const size_t fields = ExplodeViews("|", loaded.DatFields).size();
  for (const TRomItem& entry : loaded.Catalogue) {
    if (entry.Status == StatusFound) __builtin_trap();  // only the session's cache sets statuses
    if (fields == 0 && !entry.Name.empty()) __builtin_trap();
  }
  ParseRomCenter(text);
  return 0;
}
