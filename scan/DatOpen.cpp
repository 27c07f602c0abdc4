#include "scan/DatOpen.h"

#include <algorithm>

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
  // A load that fails half-way must leave the previous dat in place, with
  // the list that shows it; the copy is what it is put back from.
  TAuditState previous = state;
  state.CurrentDat = PathFileName(path);
  if (loader != TDatLoader::None) state.DatLoader = loader;
  try {
    if (state.DatLoader == TDatLoader::None)
      throw FormatError("\"" + path + "\" is not a dat by its name (.qdat, .dat, .xml or .zip)");
    opened.Loaded = RunDatLoader(state, path);
    if (!opened.Loaded) throw FormatError(NotDecipheredText(path));
  } catch (...) {
    opened.Error = std::current_exception();
  }
  if (opened.Error || !opened.Loaded) {
    state = std::move(previous);
    opened.Loaded = false;
    opened.Widths = SetupColumns(state.DatFields);
    return opened;
  }
  RebuildList(state, list, sort, opened);
  return opened;
}

std::string NotDecipheredText(const std::string& path) {
  return "\"" + path + "\" does not decipher to a packed dat (another key, or a damaged file)";
}

std::string DatFailureText(const std::string& path, const std::string& reason, bool listKept) {
  std::string_view shown = reason;
  while (!shown.empty() && shown.back() == '.') shown.remove_suffix(1);
  return "The dat \"" + path + "\" could not be loaded: " + std::string(shown) + ".\n" +
         (listKept ? "The list shown before is kept." : "No dat is loaded; press F2 to pick one.");
}

std::string MissingStartupDatText(const std::string& path) {
  return "The dat \"" + path + "\" that was loaded last is not there any more.\n"
         "No dat is loaded; press F2 to pick one.";
}

std::string LoadedDatText(const TAuditState& state) {
  if (state.DatPath.empty()) return {};
  const size_t count = state.Catalogue.Count();
  return PathFileName(state.DatPath) + ": " + std::to_string(count) + (count == 1 ? " entry" : " entries");
}

namespace {

// The folder with a separator at its end: the one it already uses ('/' in
// "C:/roms" too on Windows), else the system's own.
std::string WithSeparator(std::string folder) {
  if (!folder.empty() && kPathSeparators.find(folder.back()) == std::string_view::npos)
    folder += folder.find('/') != std::string::npos ? '/' : kPathSeparators.front();
  return folder;
}

// Whether two folders ending in a separator are the same, where Windows
// takes '/' and '\' alike.
bool SameFolder(const std::string& a, const std::string& b) {
  const auto slash = [](char c) { return c == '/' || c == '\\'; };
  const auto same = [&](char x, char y) { return x == y || (slash(x) && slash(y)); };
  return kPathSeparators.find('\\') != std::string_view::npos
             ? std::equal(a.begin(), a.end(), b.begin(), b.end(), same)
             : a == b;
}

}  // namespace

std::string DatSettingValue(const std::string& datPath, const std::string& programFolder) {
  if (!programFolder.empty() && SameFolder(PathFolder(datPath), WithSeparator(programFolder)))
    return PathFileName(datPath);
  return datPath;
}

std::string DatSettingPath(const std::string& value, const std::string& programFolder) {
  if (value.empty() || !PathFolder(value).empty()) return value;
  return WithSeparator(programFolder) + value;
}

}  // namespace vexmoor
