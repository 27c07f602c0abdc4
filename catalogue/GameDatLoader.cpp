#include "catalogue/GameDatLoader.h"

#include <filesystem>
#include <utility>

#include "catalogue/ClrMameProDat.h"
#include "catalogue/General.h"
#include "catalogue/XmlDat.h"
#include "platform/Errors.h"
#include "platform/Path.h"

namespace vexmoor {

namespace {

std::string SharedExtension(const TGameDat& dat) {
  if (dat.Extensions.size() != 1 || dat.RomWithoutExtension) return {};
  return dat.Extensions.front().substr(1);
}

void SetHeader(TDatHeader& header, const TGameDat& dat, const std::string& mask) {
  header.Clear();
  header.SetString(kInfoSection, "NAME", dat.Name);
  header.SetString(kInfoSection, "SYSTEM", dat.System);
  header.SetString(kInfoSection, "VERSION", dat.Version);
  header.SetString(kInfoSection, "MASK", mask);
  header.SetString(kInfoSection, "EXT", SharedExtension(dat));
  header.SetString(kInfoSection, "FIELDS", kGameDatFields);
}

}  // namespace

TGameDat ParseGameDat(std::string_view text, TDatContent content) {
  if (content == TDatContent::Xml) return ParseXmlDat(text);
  if (content == TDatContent::ClrMamePro) return ParseClrMameProDat(text);
  throw Error("The text is neither XML nor clrmamepro text");
}

void LoadGameDat(TLoadedDat& loaded, const std::string& path, TGameDat dat) {
  loaded.DatMask = ExtensionMask(dat);
  SetHeader(loaded.DatHeader, dat, loaded.DatMask);
  loaded.DatFields = std::string(kGameDatFields);
  loaded.DatPath = AbsoluteDatPath(path);
  loaded.DatFormat = dat.Format;
  loaded.Catalogue.ReplaceWith(std::move(dat.Entries));
}

std::string AbsoluteDatPath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(FilesystemPath(path), error);
  return error ? path : Utf8Text(absolute);
}

}  // namespace vexmoor
