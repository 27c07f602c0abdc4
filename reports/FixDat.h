// The fix dat: a clrmamepro-format dat of every row whose entry is not
// found (missing, cached or bad), in the list's current order.
#pragma once

#include <string>

#include "catalogue/RomList.h"
#include "scan/AuditState.h"

namespace vexmoor {

// The save dialog's suggested name: NAME + "-fix.dat".
std::string FixDatFileName(const TAuditState& state);

// The fix dat text: the five header lines with SYSTEM, then a game block
// per release whose entries' Status is not 0, in list order.
//  - An entry whose dat named its rom file (RomName: Logiqx, clrmamepro,
//    OfflineList and Rom Center dats) gives "rom ( name "ROMNAME" size N
//    crc C md5 M sha1 S )" with what the dat gave; the roms of one release
//    that follow each other in the list share one game block, and a title
//    that releases of several numbers share (RepeatedNames) is made unique
//    (UniqueGameName).
//  - Any other entry (native dats) gives its own block of six lines from
//    the row's name and CRC texts and the dat's EXT value, " size N" after
//    the CRC when the entry has a Size: the text as ever.
// Every quoted value reads back as written: control characters in it (CR,
// LF, ESC ...) are written as blanks, and a value in which a '"' would end
// the text early has its '"' written as '\''; a '"' that cannot end it
// early stays (`"Zed "Quoted""`). Every line ends in CR LF.
std::string BuildFixDat(const TAuditState& state, const TRomList& list);

// Writes BuildFixDat to `path`, replacing any file there. Throws IoError.
void SaveFixDat(const TAuditState& state, const TRomList& list, const std::string& path);

}  // namespace vexmoor
