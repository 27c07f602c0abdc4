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
  // The loader ran to its end. False when no loader was chosen or set, when
  // the container did not decipher to a packed block (which says nothing:
  // the catalogue is then unchanged), or when the load failed (Error).
  bool Loaded = false;
  // The list was filled from the catalogue (FillList): a window resets its
  // view of every row. False only when the call changed nothing at all.
  bool ListRebuilt = false;
  // SetupColumns of the dat the state now holds (state.DatFields).
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
//    state.DatLoader names runs on `path` (none: nothing loads), and the
//    entries take their statuses from the cache.
// 3. The widths come from state.DatFields; the list is filled from the
//    catalogue with the dat's SORT order, and LoadedText counts the entries.
//
// Nothing is thrown; a failure is returned in Error. What it leaves:
// - a scan running on the state: nothing changes at all (not CurrentDat,
//   not the list, which the scan owns);
// - the file cannot be opened or read, or unpacking fails: the catalogue is
//   unchanged, and so is the list (ListRebuilt false);
// - a bad CRC text, or a dat without its data section: the loader has
//   already replaced the catalogue (with the entries before the bad line,
//   or none), so the list is rebuilt from what the catalogue now holds and
//   no row refers to a removed entry. Widths and LoadedText are those of
//   the new, partial catalogue.
TDatOpened OpenDat(TAuditState& state, TRomList& list, TSortState& sort, const std::string& path,
                   TDatLoader loader);

}  // namespace vexmoor
