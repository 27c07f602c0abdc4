#include "catalogue/DatLoader.h"

#include <iterator>
#include <vector>

#include "catalogue/DatContainer.h"
#include "catalogue/DatText.h"
#include "catalogue/DatZip.h"
#include "catalogue/GameDat.h"
#include "catalogue/GameDatLoader.h"
#include "catalogue/General.h"
#include "catalogue/TextLines.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/Path.h"

namespace vexmoor {

namespace {

// The steps every load of the two native grammars takes once it has the
// header.
void NameLoad(TLoadedDat& dat, const std::string& path, TDatFormat format) {
  dat.DatPath = AbsoluteDatPath(path);
  dat.DatFormat = format;
  dat.DatMember.clear();
}

// The first bytes of the file, or nullopt when it cannot be opened and
// `quiet` says another loader will report that.
std::optional<std::string> ReadHead(const std::string& path, bool quiet) {
  try {
    TInputFile file(path);
    std::string head(kDatHeadSize, '\0');
    head.resize(file.ReadFull(head.data(), head.size()));
    return head;
  } catch (const FileOpenError&) {
    if (quiet) return std::nullopt;
    throw;
  }
}

// Runs `append`; a FormatError it throws ("line 12: ...") names the file.
template <typename Append>
void AppendNamingTheFile(const std::string& path, Append append) {
  try {
    append();
  } catch (const FormatError& error) {
    throw FormatError("\"" + PathFileName(path) + "\", " + error.what());
  }
}

// The loader the text's own sections call for, whatever was chosen: a
// "[GAMES]" line is Rom Center's, an "[INFO]" line (without "[GAMES]")
// native. None when the text shows neither.
TDatLoader LoaderBySections(std::string_view text) {
  bool info = false;
  for (const std::string_view line : SplitLines(WithoutByteOrderMark(text))) {
    const std::string_view trimmed = TrimBlanks(line);
    if (SameText(trimmed, "[GAMES]")) return TDatLoader::RomCenter;
    if (SameText(trimmed, "[INFO]")) info = true;
  }
  return info ? TDatLoader::QuenDat : TDatLoader::None;
}

// The native or Rom Center loader the content of `path` calls for: a
// container is native; plain text goes by its sections; `chosen` otherwise.
TDatLoader LoaderByContent(const std::string& path, TDatLoader chosen) {
  const std::optional<std::string> head = ReadHead(path, true);
  if (!head) return chosen;
  if (head->compare(0, kContainerMagic.size(), kContainerMagic) == 0) return TDatLoader::QuenDat;
  const TDatLoader bySections = LoaderBySections(ReadWholeFile(path));
  return bySections == TDatLoader::None ? chosen : bySections;
}

[[noreturn]] void ThrowUnknownDat(const std::string& name) {
  throw FormatError("\"" + name +
                    "\" is neither a Logiqx, clrmamepro nor OfflineList dat, nor a zip holding one");
}

// A zip member's text by the loader `fallback` names, when its content is
// none of the game-based formats.
bool LoadMemberText(TLoadedDat& dat, const std::string& path, const std::string& text,
                    TDatLoader fallback, const std::string& member) {
  if (fallback == TDatLoader::OtherDat) fallback = ChooseDatLoader(member);
  if (fallback == TDatLoader::QuenDat) {
    std::optional<std::string> native(text);
    if (text.compare(0, kContainerMagic.size(), kContainerMagic) == 0) {
      native = OpenContainerBlock(text.substr(std::min(text.size(), kContainerHeaderSize)));
    }
    if (!native) return false;
    LoadNativeText(dat, path, *native);
  } else if (fallback == TDatLoader::RomCenter) {
    LoadRomCenterText(dat, path, text);
  } else {
    ThrowUnknownDat(member);
  }
  return true;
}

bool LoadZipped(TLoadedDat& dat, const std::string& path, TDatLoader fallback) {
  TZippedDat zipped = ReadZippedDat(path);
  const TDatContent content = RecognizeDatContent(std::string_view(zipped.Text).substr(0, kDatHeadSize));
  if (content == TDatContent::Xml || content == TDatContent::ClrMamePro) {
    LoadGameDat(dat, path, ParseGameDat(zipped.Text, content));
  } else if (!LoadMemberText(dat, path, zipped.Text, fallback, zipped.MemberName)) {
    return false;
  }
  dat.DatMember = zipped.MemberName;
  return true;
}

}  // namespace

TDatLoader ChooseDatLoader(std::string_view fileName) {
  if (MatchesMask(fileName, "*.dat")) return TDatLoader::RomCenter;
  if (MatchesMask(fileName, "*.qdat")) return TDatLoader::QuenDat;
  if (MatchesMask(fileName, "*.xml") || MatchesMask(fileName, "*.zip")) return TDatLoader::OtherDat;
  return TDatLoader::None;
}

bool LoadQuenDat(TLoadedDat& dat, const std::string& path) {
  const std::optional<std::string> text = ReadQuenDatText(path);
  if (!text) return false;
  LoadNativeText(dat, path, *text);
  return true;
}

void LoadNativeText(TLoadedDat& dat, const std::string& path, std::string_view text) {
  // No list of lines: the header, the data's start and the data lines are
  // each found by searching the text itself.
  text = WithoutByteOrderMark(text);
  dat.DatHeader.RebuildFromText(text);
  NameLoad(dat, path, TDatFormat::Native);
  dat.DatMask = dat.DatHeader.ReadString(kInfoSection, "MASK", "");
  dat.DatFields = dat.DatHeader.ReadString(kInfoSection, "FIELDS", kDefaultFields);
  dat.Catalogue.Clear();
  const TNativeDataStart start = FindNativeDataStart(text);
  AppendNamingTheFile(path, [&] {
    AppendNativeText(dat.Catalogue, text, start, NativeColumns(dat.DatFields));
  });
}

void LoadRomCenter(TLoadedDat& dat, const std::string& path) {
  LoadRomCenterText(dat, path, ReadWholeFile(path));
}

void LoadRomCenterText(TLoadedDat& dat, const std::string& path, std::string_view text) {
  const std::vector<std::string_view> lines = SplitLines(WithoutByteOrderMark(text));
  dat.DatHeader.Rebuild(lines);
  NameLoad(dat, path, TDatFormat::RomCenter);
  dat.DatFields = std::string(kDefaultFields);
  dat.DatMask.clear();
  dat.Catalogue.Clear();
  const size_t first = RomCenterDataStart(lines);
  AppendNamingTheFile(path, [&] { AppendRomCenterEntries(dat.Catalogue, lines, first); });
  // The loose dumps are the files of the extensions the rom column names.
  TGameDat names;
  for (const TRomItem& entry : dat.Catalogue) names.NoteRomName(entry.RomName);
  dat.DatMask = ExtensionMask(names);
}

std::optional<bool> LoadDatByContent(TLoadedDat& dat, const std::string& path,
                                     TDatLoader fallback) {
  const std::optional<std::string> head = ReadHead(path, fallback != TDatLoader::OtherDat);
  if (!head) return std::nullopt;
  const TDatContent content = RecognizeDatContent(*head);
  if (content == TDatContent::Zip) return LoadZipped(dat, path, fallback);
  if (content == TDatContent::Unknown) return std::nullopt;
  LoadGameDat(dat, path, ParseGameDat(ReadWholeFile(path), content));
  dat.DatMember.clear();
  return true;
}

bool LoadOtherDat(TLoadedDat& dat, const std::string& path) {
  if (const std::optional<bool> loaded = LoadDatByContent(dat, path, TDatLoader::OtherDat)) {
    return *loaded;
  }
  switch (ChooseDatLoader(PathFileName(path))) {
    case TDatLoader::QuenDat:
      return LoadQuenDat(dat, path);
    case TDatLoader::RomCenter:
      LoadRomCenter(dat, path);
      return true;
    case TDatLoader::OtherDat:
    case TDatLoader::None:
      break;
  }
  ThrowUnknownDat(PathFileName(path));
}

bool LoadDatWith(TLoadedDat& dat, const std::string& path, TDatLoader loader) {
  if (loader == TDatLoader::None) return false;
  if (loader == TDatLoader::OtherDat) return LoadOtherDat(dat, path);
  if (const std::optional<bool> loaded = LoadDatByContent(dat, path, loader)) return *loaded;
  if (LoaderByContent(path, loader) == TDatLoader::QuenDat) return LoadQuenDat(dat, path);
  LoadRomCenter(dat, path);
  return true;
}

TDatLoader DatLoaderForFilter(int index) {
  if (index < 0 || static_cast<size_t>(index) >= std::size(kPickDatFilters)) return TDatLoader::None;
  return kPickDatFilters[index].Loader;
}

const char* DatLoaderName(TDatLoader loader) {
  switch (loader) {
    case TDatLoader::QuenDat:
      return "LoadQuenDat";
    case TDatLoader::RomCenter:
      return "LoadRomCenter";
    case TDatLoader::OtherDat:
      return "LoadOtherDat";
    case TDatLoader::None:
      break;
  }
  return "none";
}

}  // namespace vexmoor
