#include "reports/FixDat.h"

#include <optional>
#include <string>

#include "platform/File.h"

namespace vexmoor {

namespace {

constexpr const char* kEol = "\r\n";

std::string Quoted(const std::string& text) { return '"' + text + '"'; }

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
