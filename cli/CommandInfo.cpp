#include <cstdio>

#include "catalogue/DatContainer.h"
#include "catalogue/DatLoader.h"
#include "catalogue/General.h"
#include "cli/Commands.h"
#include "platform/Errors.h"
#include "scan/AuditState.h"

namespace vexmoor::cli {

namespace {

// The header values `info` shows, with the defaults loading applies.
struct THeaderKey {
  const char* key;
  std::string_view fallback;
};
constexpr THeaderKey kHeaderKeys[] = {
    {"NAME", ""}, {"SYSTEM", ""}, {"MASK", ""},    {"FIELDS", kDefaultFields},
    {"SORT", ""}, {"EXT", ""},    {"VERSION", ""}, {"TIMESTAMP", ""},
};

// The loader that read the dat: the content may have overruled the name.
std::string LoaderText(const TAuditState& state, const std::string& path) {
  switch (state.DatFormat) {
    case TDatFormat::Native:
      if (!state.DatMember.empty()) return DatLoaderName(TDatLoader::QuenDat);
      return std::string(DatLoaderName(TDatLoader::QuenDat)) +
             (FileHasSignature(path, kContainerMagic, 0) ? " (container)" : " (plain text)");
    case TDatFormat::RomCenter:
      return DatLoaderName(TDatLoader::RomCenter);
    default:
      return DatLoaderName(TDatLoader::OtherDat);
  }
}

std::string FormatText(const TAuditState& state) {
  std::string text = DatFormatName(state.DatFormat);
  if (!state.DatMember.empty()) text += " (zip member \"" + state.DatMember + "\")";
  return text;
}

// Loads the dat; prints the reason and returns false when that fails.
bool LoadForInfo(TAuditState& state, const std::string& path) {
  try {
    if (RunDatLoader(state, path)) return true;
    ReportError("\"" + path +
                "\" does not decipher to a packed dat (another key, or a damaged file)");
  } catch (const Error& error) {
    ReportError(error.what());
  }
  return false;
}

}  // namespace

int RunInfo(const Args& args) {
  if (args.size() != 1) return UsageError("info");
  const std::string& path = args[0];
  TAuditState state;
  state.CacheResults = false;
  state.DatLoader = ChooseDatLoader(path);
  if (state.DatLoader == TDatLoader::None) {
    ReportError("cannot tell the format of \"" + path +
                "\": Rom Center dats end in .dat, native dats in .qdat, and Logiqx, clrmamepro "
                "and OfflineList dats in .dat, .xml or .zip");
    return 2;
  }
  if (!LoadForInfo(state, path)) return 2;
  for (const THeaderKey& header : kHeaderKeys) {
    const std::string value = state.DatHeader.ReadString(kInfoSection, header.key, header.fallback);
    std::printf("%s: %s\n", header.key, value.c_str());
  }
  std::printf("LOADER: %s\n", LoaderText(state, path).c_str());
  std::printf("FORMAT: %s\n", FormatText(state).c_str());
  std::printf("%zu entries\n", state.Catalogue.Count());
  return 0;
}

}  // namespace vexmoor::cli
