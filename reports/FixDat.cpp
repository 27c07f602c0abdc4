#include "reports/FixDat.h"

#include <algorithm>
#include <optional>
#include <string>

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

}  // namespace

std::string FixDatFileName(const TAuditState& state) {
  return state.DatHeader.ReadString("INFO", "NAME", "") + "-fix.dat";
}

std::string BuildFixDat(const TAuditState& state, const TRomList& list) {
  const std::string system = state.DatHeader.ReadString("INFO", "SYSTEM", "");
  std::string text = std::string("clrmamepro (") + kEol;
  text += "  name " + Quoted(system + " Fix Dat") + kEol;
  text += "  description " + Quoted(system + " Fix Dat") + kEol;
  text += std::string(")") + kEol + kEol;
  for (const TListRow& row : list) {
    if (state.Catalogue[row.Entry].Status == StatusFound) continue;
    const std::string& name = row.SubItems[kSubItemName];
    const std::string ext = state.DatHeader.ReadString("INFO", "EXT", "");
    text += std::string("game (") + kEol;
    text += "  name " + Quoted(name) + kEol;
    text += "  description " + Quoted(name) + kEol;
    // A tool reading the fix dat matches on size and CRC: the size goes in
    // wherever the dat gave one.
    const std::optional<uint64_t>& size = state.Catalogue[row.Entry].Size;
    text += "  rom ( name " + Quoted(name + "." + ext) + " crc " + row.SubItems[kSubItemCrc] +
            (size ? " size " + std::to_string(*size) : std::string()) + " )" + kEol;
    text += std::string(")") + kEol + kEol;
  }
  return text;
}

void SaveFixDat(const TAuditState& state, const TRomList& list, const std::string& path) {
  WriteFileAtomically(path, BuildFixDat(state, list));
}

}  // namespace vexmoor
