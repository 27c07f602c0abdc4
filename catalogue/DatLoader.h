// Loading a dat into the audit state: the native loader (container or plain
// text), the Rom Center loader, and the choice between them by file name.
//
// What a load leaves behind:
// - file unreadable, unpacking failed (throws), or a container that does not
//   decipher to a packed block (returns false): nothing changes;
// - a bad CRC text (throws FormatError): DatHeader, DatMask, DatFields and
//   DatPath are the new dat's, CacheTable is re-read, and the catalogue holds
//   the entries before the bad line plus the bad line's partly filled entry
//   (Status StatusMissing);
// - no "[GAMES]" line, or "[DAT]" in the text but on no line of its own
//   (throws FormatError): the new header values and an empty catalogue.
// After any load that changed the catalogue, the list must be rebuilt.
#pragma once

#include <string>
#include <string_view>

#include "catalogue/AuditState.h"

namespace vexmoor {

// "*.dat" selects the Rom Center loader, "*.qdat" the native one, anything
// else none.
TDatLoader ChooseDatLoader(std::string_view fileName);

// Loads a native dat, in a container or as plain text. Returns false, having
// changed nothing, when the container's block does not decipher.
bool LoadQuenDat(TAuditState& state, const std::string& path);

// Loads a Rom Center dat (plain text, never a container).
void LoadRomCenter(TAuditState& state, const std::string& path);

// Parses native dat `text` read from `path` into the state (the native
// loader after it has the text).
void LoadNativeText(TAuditState& state, const std::string& path, std::string_view text);

// Calls the loader that state.DatLoader names. Returns false when none is
// set or the load stopped without a message.
bool RunDatLoader(TAuditState& state, const std::string& path);

// Name of a loader for messages: "LoadQuenDat", "LoadRomCenter" or "none".
const char* DatLoaderName(TDatLoader loader);

}  // namespace vexmoor
