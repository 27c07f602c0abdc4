// Opening a dat the way every caller does it (the command-line audit, the
// window's start-up, "&Pick Dat...", a dropped file, the reload after an
// update): the loader, the load, the column widths, the list fill and the
// loaded-items text, in that order, as one call.
#pragma once

#include <array>
#include <exception>
#include <string>
#include <string_view>

#include "catalogue/RomList.h"
#include "scan/AuditState.h"

namespace vexmoor {

// Widths of the list's first four columns: flag, "ID", "Release Name",
// "CRC32". A width of 0 hides the column; the Status column is not set here.
using TColumnWidths = std::array<int, 4>;

// SetupColumns: 21, 40, 280 and 68 for the columns whose field names
// ("COUNTRY", "INDEX", "NAME", "CRC32") the '|'-separated list holds, 0 for
// the others. A dat without COUNTRY thus hides the flag column.
TColumnWidths SetupColumns(std::string_view fieldList);

struct TDatOpened {
  // The loader ran to its end and the state holds the new dat.
  bool Loaded = false;
  // The list was filled from the catalogue (FillList): a window resets its
  // view of every row. True exactly when Loaded.
  bool ListRebuilt = false;
  // SetupColumns of the dat the state now holds (state.DatFields): the new
  // dat's, or after a failure the previous one's.
  TColumnWidths Widths{};
  // The status bar's panel 2 after a rebuild (" Loaded %d items."); empty
  // when the list was not rebuilt and the panel keeps its text.
  std::string LoadedText;
  // The load's failure, for the caller's error report; null on success.
  std::exception_ptr Error;
};

// Opens the dat at `path` into `state` and rebuilds `list`:
// 1. state.CurrentDat becomes the path's file name; `loader` becomes
//    state.DatLoader unless it is None, which keeps the loader set before.
// 2. RunDatLoader: the cache file is read if wanted, the loader
//    state.DatLoader names runs on `path` (the content decides where it
//    can), and the entries take their statuses from the cache.
// 3. The widths come from state.DatFields; the list is filled from the
//    catalogue with the dat's SORT order, and LoadedText counts the entries.
//
// Nothing is thrown; a failure is returned in Error, and leaves `state`
// (the catalogue, the dat's values, CurrentDat, DatLoader, the cache table)
// and `list` exactly as they were before the call: a file that cannot be
// opened or read, unpacking that fails, a container that does not decipher
// (FormatError with NotDecipheredText), a bad CRC text, a dat without its
// data section, no loader chosen or set (FormatError: not a dat by its
// name), or a scan running on the state.
TDatOpened OpenDat(TAuditState& state, TRomList& list, TSortState& sort, const std::string& path,
                   TDatLoader loader);

// "\"PATH\" does not decipher to a packed dat (another key, or a damaged
// file)": a container whose block is not a packed dat.
std::string NotDecipheredText(const std::string& path);

// What a window says when the dat at `path` failed to load for `reason`
// (the error's message): the path, the reason, and either that the list
// shown before is kept (`listKept`) or that no dat is loaded.
std::string DatFailureText(const std::string& path, const std::string& reason, bool listKept);

// What the window says at start when the dat the settings name is not at
// `path`.
std::string MissingStartupDatText(const std::string& path);

// What "&Scan..." says while no dat is loaded: there is nothing to mark.
inline constexpr const char* kNoDatToScanText = "No dat is loaded, so a scan has nothing to look for. "
                                                "Press F2 to pick a dat, then F3 to scan a folder";

// The loaded dat as the window names it: "FILE: N entries" ("1 entry");
// "" when no dat is loaded.
std::string LoadedDatText(const TAuditState& state);

// The QuenDat setting for the dat read from `datPath` (absolute): the bare
// file name when the dat lies directly in `programFolder` (with or without
// its trailing separator), as the setting has always meant; the full path
// for a dat anywhere else. Empty for an empty path.
std::string DatSettingValue(const std::string& datPath, const std::string& programFolder);

// The path the QuenDat setting `value` names: a bare name lies in
// `programFolder`, anything with a folder is taken as it is.
std::string DatSettingPath(const std::string& value, const std::string& programFolder);

}  // namespace vexmoor
