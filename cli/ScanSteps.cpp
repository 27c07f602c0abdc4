#include "cli/ScanSteps.h"

#include "catalogue/DatLoader.h"
#include "cli/Commands.h"
#include "platform/File.h"
#include "platform/Path.h"
#include "scan/DatOpen.h"

namespace vexmoor::cli {

bool LoadDat(TAuditState& state, TRomList& list, TSortState& sort, const std::string& path) {
  const TDatLoader loader = ChooseDatLoader(PathFileName(path));
  if (loader == TDatLoader::None) {
    ReportError("\"" + path +
                "\" is not a dat: the name must end in .dat (Rom Center, or any format its content "
                "shows), .qdat (native), .xml or .zip (Logiqx, clrmamepro or OfflineList)");
    return false;
  }
  if (!PathExists(path)) {
    ReportError("Cannot open file \"" + path + "\". No such file or directory");
    return false;
  }
  const TDatOpened opened = OpenDat(state, list, sort, path, loader);
  if (opened.Error) {
    try {
      std::rethrow_exception(opened.Error);
    } catch (const std::exception& error) {
      ReportError(error.what());
    }
    return false;
  }
  if (opened.Loaded) return true;
  ReportError("\"" + path + "\" does not decipher to a packed dat; nothing was loaded");
  return false;
}

}  // namespace vexmoor::cli
