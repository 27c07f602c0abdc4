// Loading a game-based dat (Logiqx XML, clrmamepro text, OfflineList XML)
// into a TLoadedDat, once its text is at hand.
#pragma once

#include <string>
#include <string_view>

#include "catalogue/DatFormat.h"
#include "catalogue/GameDat.h"
#include "catalogue/LoadedDat.h"

namespace vexmoor {

// Parses `text` with the parser `content` names (Xml or ClrMamePro). Throws
// FormatError, with the line, for a malformed text; Error for any other
// `content`.
TGameDat ParseGameDat(std::string_view text, TDatContent content);

// Puts a parsed dat into `loaded`, all at once: the catalogue holds
// dat.Entries; DatPath is `path` made absolute; DatMask has "*" and
// each rom extension, ';'-separated; DatFields and the header's FIELDS are
// kGameDatFields; the header's section "INFO" holds NAME, SYSTEM, VERSION,
// MASK and EXT (the one extension all roms share, without its dot, or
// empty) and nothing else; DatFormat is dat.Format. DatMember is left to the
// caller.
void LoadGameDat(TLoadedDat& loaded, const std::string& path, TGameDat dat);

// `path` made absolute; unchanged when that fails.
std::string AbsoluteDatPath(const std::string& path);

}  // namespace vexmoor
