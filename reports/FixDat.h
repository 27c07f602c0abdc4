// The fix dat: a clrmamepro-format dat of every row whose entry is not
// found (missing, cached or bad), in the list's current order.
#pragma once

#include <string>

#include "catalogue/RomList.h"
#include "scan/AuditState.h"

namespace vexmoor {

// The save dialog's suggested name: NAME + "-fix.dat".
std::string FixDatFileName(const TAuditState& state);

// The fix dat text: the five header lines with SYSTEM, then six lines per
// row whose entry's Status is not 0, from the row's name and CRC texts and
// the dat's EXT value; " size N" follows the CRC when the entry has a Size
// (dats of the game-based formats), so native and Rom Center dats give the
// same text as ever. Names are written as they stand (a '"' inside is not
// escaped); every line ends in CR LF.
std::string BuildFixDat(const TAuditState& state, const TRomList& list);

// Writes BuildFixDat to `path`, replacing any file there. Throws IoError.
void SaveFixDat(const TAuditState& state, const TRomList& list, const std::string& path);

}  // namespace vexmoor
