// Arbitrary bytes as a dat text: the header view, the native loader's parse
// (held to a reading through the list of all lines) and the Rom Center parse.
#include <cstddef>
#include <cstdint>
#include <string>
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

// The native loader's entries, header and error against the reading through
// SplitLines that it must equal.
void CompareNativeWithLines(std::string_view text, const vexmoor::TLoadedDat& loaded,
                            const std::string& loadError) {
  using namespace vexmoor;
  text = WithoutByteOrderMark(text);
  const auto lines = SplitLines(text);
  if (!(TDatHeader(lines) == loaded.DatHeader)) __builtin_trap();
  TCatalogue catalogue;
  std::string error;
  try {
    const size_t first = NativeDataStart(text, lines);
    try {
      AppendNativeEntries(catalogue, lines, first, NativeColumns(loaded.DatFields));
    } catch (const FormatError& thrown) {
      error = std::string("\"fuzz.qdat\", ") + thrown.what();
    }
  } catch (const FormatError& thrown) {
    error = thrown.what();
  }
  if (error != loadError || catalogue.Count() != loaded.Catalogue.Count()) __builtin_trap();
  for (size_t i = 0; i < catalogue.Count(); ++i) {
    const TRomItem& a = catalogue[i];
    const TRomItem& b = loaded.Catalogue[i];
    if (a.Index != b.Index || a.Name != b.Name || a.Country != b.Country || a.Crc != b.Crc ||
        a.Status != b.Status || b.Name.c_str()[b.Name.size()] != '\0')
      __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vexmoor;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TLoadedDat loaded;
  std::string loadError;
  try {
    LoadNativeText(loaded, "fuzz.qdat", text);
  } catch (const FormatError& error) {
    loadError = error.what();
  }
  CompareNativeWithLines(text, loaded, loadError);
  const size_t fields = ExplodeViews("|", loaded.DatFields).size();
  for (const TRomItem& entry : loaded.Catalogue) {
    if (entry.Status == StatusFound) __builtin_trap();  // only the session's cache sets statuses
    if (fields == 0 && !entry.Name.empty()) __builtin_trap();
  }
  ParseRomCenter(text);
  return 0;
}
