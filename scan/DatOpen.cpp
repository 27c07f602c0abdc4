#include "scan/DatOpen.h"

#include "catalogue/DatText.h"
#include "platform/Errors.h"
#include "platform/Path.h"

namespace vexmoor {

namespace {

int WidthIfListed(std::string_view fieldList, std::string_view name, int width) {
  return FieldIndex(fieldList, name, '|') >= 0 ? width : 0;
}

void RebuildList(const TAuditState& state, TRomList& list, TSortState& sort, TDatOpened& opened) {
  opened.Widths = SetupColumns(state.DatFields);
  list.Fill(state.Catalogue, state.DatHeader, sort);
  opened.ListRebuilt = true;
  opened.LoadedText = LoadedItemsText(state.Catalogue.Count());
}

}  // namespace

TColumnWidths SetupColumns(std::string_view fieldList) {
  return {WidthIfListed(fieldList, "COUNTRY", 21), WidthIfListed(fieldList, "INDEX", 40),
          WidthIfListed(fieldList, "NAME", 280), WidthIfListed(fieldList, "CRC32", 68)};
}

TDatOpened OpenDat(TAuditState& state, TRomList& list, TSortState& sort, const std::string& path,
                   TDatLoader loader) {
  TDatOpened opened;
  if (state.ScanRunning) {
    opened.Error = std::make_exception_ptr(
        Error("A scan is running; the dat cannot be loaded until it ends."));
    opened.Widths = SetupColumns(state.DatFields);
    return opened;
  }
  state.CurrentDat = PathFileName(path);
  if (loader != TDatLoader::None) state.DatLoader = loader;
  const uint64_t generation = state.Catalogue.Generation();
  try {
    opened.Loaded = RunDatLoader(state, path);
  } catch (...) {
    opened.Error = std::current_exception();
    // Only a load that got as far as replacing the entries leaves rows
    // behind that refer to nothing.
    if (state.Catalogue.Generation() == generation) {
      opened.Widths = SetupColumns(state.DatFields);
      return opened;
    }
  }
  RebuildList(state, list, sort, opened);
  return opened;
}

}  // namespace vexmoor
