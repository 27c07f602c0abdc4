#include "catalogue/DatLoader.h"

#include <filesystem>
#include <vector>

#include "catalogue/DatContainer.h"
#include "catalogue/DatText.h"
#include "catalogue/General.h"
#include "catalogue/TextLines.h"
#include "platform/File.h"

namespace vexmoor {

namespace {

std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.string();
}

// The steps every load takes once it has the text.
void StartLoad(TAuditState& state, const std::string& path,
               const std::vector<std::string_view>& lines) {
  state.DatHeader.Rebuild(lines);
  state.DatPath = AbsolutePath(path);
}

void ReadCacheIfWanted(TAuditState& state, const std::string& path) {
  if (state.CacheResults) ReadCacheFile(state.CacheTable, ChangeExt(path, ".qcache"));
}

}  // namespace

TDatLoader ChooseDatLoader(std::string_view fileName) {
  if (MatchesMask(fileName, "*.dat")) return TDatLoader::RomCenter;
  if (MatchesMask(fileName, "*.qdat")) return TDatLoader::QuenDat;
  return TDatLoader::None;
}

bool LoadQuenDat(TAuditState& state, const std::string& path) {
  const std::optional<std::string> text = ReadQuenDatText(path);
  if (!text) return false;
  LoadNativeText(state, path, *text);
  return true;
}

void LoadNativeText(TAuditState& state, const std::string& path, std::string_view text) {
  text = WithoutByteOrderMark(text);
  const std::vector<std::string_view> lines = SplitLines(text);
  StartLoad(state, path, lines);
  state.DatMask = state.DatHeader.ReadString(kInfoSection, "MASK", "");
  state.DatFields = state.DatHeader.ReadString(kInfoSection, "FIELDS", kDefaultFields);
  state.Catalogue.Clear();
  const size_t first = NativeDataStart(text, lines);
  ReadCacheIfWanted(state, path);
  AppendNativeEntries(state.Catalogue, state.CacheTable, lines, first,
                      NativeColumns(state.DatFields));
}

void LoadRomCenter(TAuditState& state, const std::string& path) {
  const std::string data = ReadWholeFile(path);
  const std::vector<std::string_view> lines = SplitLines(WithoutByteOrderMark(data));
  StartLoad(state, path, lines);
  state.DatFields = std::string(kDefaultFields);
  state.DatMask.clear();
  state.Catalogue.Clear();
  const size_t first = RomCenterDataStart(lines);
  ReadCacheIfWanted(state, path);
  AppendRomCenterEntries(state.Catalogue, state.CacheTable, lines, first);
}

bool RunDatLoader(TAuditState& state, const std::string& path) {
  switch (state.DatLoader) {
    case TDatLoader::QuenDat:
      return LoadQuenDat(state, path);
    case TDatLoader::RomCenter:
      LoadRomCenter(state, path);
      return true;
    case TDatLoader::None:
      break;
  }
  return false;
}

const char* DatLoaderName(TDatLoader loader) {
  switch (loader) {
    case TDatLoader::QuenDat:
      return "LoadQuenDat";
    case TDatLoader::RomCenter:
      return "LoadRomCenter";
    case TDatLoader::None:
      break;
  }
  return "none";
}

}  // namespace vexmoor
