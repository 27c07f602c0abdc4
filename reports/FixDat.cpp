#include "reports/FixDat.h"

#include <algorithm>
#include <optional>
#include <string>
#include <unordered_set>

#include "catalogue/GameDat.h"
#include "catalogue/TextLines.h"
#include "platform/File.h"

namespace vexmoor {

namespace {

constexpr const char* kEol = "\r\n";

bool IsTokenEnd(char c) { return static_cast<unsigned char>(c) <= ' ' || c == ')'; }

// True when a reader would end the quoted `text` early: a clrmamepro quoted
// text ends at the first '"' that a blank or ')' follows and after which
// its line holds an even number of quotes (the closing one included).
bool EndsEarly(std::string_view text) {
  size_t quotesAfter = static_cast<size_t>(std::count(text.begin(), text.end(), '"'));
  for (size_t at = 0; at < text.size(); ++at) {
    if (text[at] != '"') continue;
    --quotesAfter;
    if (at + 1 < text.size() && IsTokenEnd(text[at + 1]) && (quotesAfter + 1) % 2 == 0) return true;
  }
  return false;
}

// `text` as a quoted value that reads back as written: control characters
// (a CR or LF would end the line, and with it the value) become blanks, and
// when a '"' inside would end the value early, every '"' becomes '\''.
std::string Quoted(std::string_view text) {
  std::string safe = OneLineText(text);
  if (EndsEarly(safe)) std::replace(safe.begin(), safe.end(), '"', '\'');
  return '"' + safe + '"';
}

// The rom line of an entry whose dat gave no rom name (native and Rom
// Center dats, and game-dat roms without a name): the release name and
// the dat's EXT, as ever.
std::string NamedByRelease(const TRomItem& item, const std::string& ext) {
  return "  rom ( name " + Quoted(EntryColumnText(item, kSubItemName) + "." + ext) + " crc " +
         EntryColumnText(item, kSubItemCrc) +
         (item.Size ? " size " + std::to_string(*item.Size) : std::string()) + " )" + kEol;
}

// The rom line of an entry whose dat named its rom file: that name, with
// what is known of size, CRC, MD5 and SHA-1, in the order rom managers
// write them.
std::string NamedByDat(const TRomItem& item) {
  std::string line = "  rom ( name " + Quoted(item.RomName);
  if (item.Size) line += " size " + std::to_string(*item.Size);
  line += " crc " + EntryColumnText(item, kSubItemCrc);
  if (!item.Md5.empty()) line += " md5 " + item.Md5;
  if (!item.Sha1.empty()) line += " sha1 " + item.Sha1;
  if (!item.Sha256.empty()) line += " sha256 " + item.Sha256;
  return line + " )" + kEol;
}

std::string GameBlock(const std::string& name, const std::string& roms) {
  return std::string("game (") + kEol + "  name " + Quoted(name) + kEol + "  description " +
         Quoted(name) + kEol + roms + ")" + kEol + kEol;
}

}  // namespace

std::string FixDatFileName(const TAuditState& state) {
  return state.DatHeader.ReadString("INFO", "NAME", "") + "-fix.dat";
}

std::string BuildFixDat(const TAuditState& state, const TRomList& list) {
  const std::string system = state.DatHeader.ReadString("INFO", "SYSTEM", "");
  const std::string ext = state.DatHeader.ReadString("INFO", "EXT", "");
  std::string text = std::string("clrmamepro (") + kEol;
  text += "  name " + Quoted(system + " Fix Dat") + kEol;
  text += "  description " + Quoted(system + " Fix Dat") + kEol;
  text += std::string(")") + kEol + kEol;
  const std::unordered_set<std::string> repeated = RepeatedNames(state.Catalogue);
  // One game block per release; the roms of one release that follow each
  // other in the list share its block.
  const TRomItem* open = nullptr;
  std::string gameName, roms;
  for (const TListRow& row : list) {
    const TRomItem& item = state.Catalogue[row.Entry];
    if (item.Status == StatusFound) continue;
    if (item.RomName.empty()) {
      if (open) text += GameBlock(gameName, roms);
      open = nullptr;
      text += GameBlock(EntryColumnText(item, kSubItemName), NamedByRelease(item, ext));
      continue;
    }
    if (open && open->Name == item.Name && open->Index == item.Index) {
      roms += NamedByDat(item);
      continue;
    }
    if (open) text += GameBlock(gameName, roms);
    open = &item;
    // A tool rebuilding from the fix dat makes a folder or zip per game:
    // releases that share a title get names of their own.
    gameName = repeated.count(item.Name) ? UniqueGameName(item.Name, item.Index) : item.Name.str();
    roms = NamedByDat(item);
  }
  if (open) text += GameBlock(gameName, roms);
  return text;
}

void SaveFixDat(const TAuditState& state, const TRomList& list, const std::string& path) {
  WriteFileAtomically(path, BuildFixDat(state, list));
}

}  // namespace vexmoor
