// Loading a dat into a TLoadedDat: the native loader (container or plain
// text), the Rom Center loader, the loader of Logiqx, clrmamepro and
// OfflineList dats (plain or zipped), and the choice between them. Loaders
// never read the scan-result cache: the audit session (scan/AuditState)
// seeds the entries' statuses.
//
// What a load leaves behind:
// - file unreadable, unpacking failed (throws), or a container that does not
//   decipher to a packed block (returns false): nothing changes;
// - a bad CRC text (throws FormatError): DatHeader, DatMask, DatFields and
//   DatPath are the new dat's, and the catalogue holds the entries before
//   the bad line plus, last, the bad line's partly filled entry;
// - no "[GAMES]" line, or "[DAT]" in the text but on no line of its own
//   (throws FormatError): the new header values and an empty catalogue.
// - a Logiqx, clrmamepro or OfflineList dat, or a zip, that cannot be read
//   (malformed, see ParseGameDat and ReadZippedDat): throws, changes nothing.
// After any load that changed the catalogue, the list must be rebuilt.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "catalogue/LoadedDat.h"

namespace vexmoor {

// The loader a caller chose: by name (start-up, the command-line tool), by
// the pick dialog's filter entry, or OtherDat ("Other Dat Files"), which goes
// by content alone. Whatever was chosen, a file whose content is a Logiqx,
// clrmamepro or OfflineList dat, or a zip, is read as what it is.
enum class TDatLoader { None, QuenDat, RomCenter, OtherDat };

// "*.dat" selects the Rom Center loader, "*.qdat" the native one, "*.xml"
// and "*.zip" the one that goes by content (OtherDat), anything else none.
// RunDatLoader looks at the content before it calls the loader chosen.
TDatLoader ChooseDatLoader(std::string_view fileName);

// Loads a native dat, in a container or as plain text. Returns false, having
// changed nothing, when the container's block does not decipher.
bool LoadQuenDat(TLoadedDat& dat, const std::string& path);

// Loads a Rom Center dat (plain text, never a container).
void LoadRomCenter(TLoadedDat& dat, const std::string& path);
// Parses Rom Center `text` read from `path` into `dat`.
void LoadRomCenterText(TLoadedDat& dat, const std::string& path, std::string_view text);

// Loads the dat at `path` by its content: a Logiqx, clrmamepro or
// OfflineList dat, plain or in a zip, by its own loader. A zip's member that
// is none of these is loaded as `fallback` says: LoadQuenDat's text rules,
// LoadRomCenter's, or (OtherDat) the rules its name selects. Returns
// nullopt, having read at most the first bytes and changed nothing, when
// the file is none of these and no zip; also when it cannot be opened and
// `fallback` is not OtherDat (the fallback loader then reports that).
// Otherwise the result is what the loader returned.
std::optional<bool> LoadDatByContent(TLoadedDat& dat, const std::string& path,
                                     TDatLoader fallback);

// The "Other Dat Files" loader: LoadDatByContent, and for a file whose
// content says nothing, the loader its name selects (a Rom Center "*.dat",
// a native "*.qdat"). Throws FormatError for any other file.
bool LoadOtherDat(TLoadedDat& dat, const std::string& path);

// Parses native dat `text` read from `path` into `dat` (the native loader
// after it has the text).
void LoadNativeText(TLoadedDat& dat, const std::string& path, std::string_view text);

// Calls the loader that `loader` names, after LoadDatByContent had the
// first word: a file whose content is a Logiqx, clrmamepro or OfflineList
// dat, or a zip, is loaded as that whichever loader was chosen (files the
// native and Rom Center rules load keep loading as before). Returns false
// when `loader` is None or the load stopped without a message.
bool LoadDatWith(TLoadedDat& dat, const std::string& path, TDatLoader loader);

// The entries of the "&Pick Dat..." dialog's filter, in order, and the
// loader each selects (the file's extension plays no part).
struct TDatFilter {
  const char* Caption;
  TDatLoader Loader;
};
inline constexpr TDatFilter kPickDatFilters[] = {
    {"Quen Dat Files (*.qdat)", TDatLoader::QuenDat},
    {"Rom Center Dat Files (*.dat)", TDatLoader::RomCenter},
    {"Other Dat Files (*.dat *.xml *.zip)", TDatLoader::OtherDat},
};
// The loader of filter entry `index` (0-based), or None outside the list.
TDatLoader DatLoaderForFilter(int index);

// Name of a loader for messages: "LoadQuenDat", "LoadRomCenter",
// "LoadOtherDat" or "none".
const char* DatLoaderName(TDatLoader loader);

}  // namespace vexmoor
