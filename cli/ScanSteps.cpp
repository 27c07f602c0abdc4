#include "cli/ScanSteps.h"

#include "catalogue/DatLoader.h"
#include "cli/Commands.h"
#include "platform/Console.h"
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

std::unique_ptr<TChecksumStore> OpenChecksumStore(TProgress& progress) {
  const std::string path = DefaultChecksumStorePath();
  if (path.empty()) {
    ReportError("no cache folder ($XDG_CACHE_HOME and $HOME are unset); checksums are not remembered");
    return nullptr;
  }
  return std::make_unique<TChecksumStore>(path, [&progress](const std::string& line) {
    progress.Done();
    ReportError(line);
  });
}

TScanOutcome RunScan(TScanEngine& engine, const std::string& folder, std::atomic<bool>& cancel,
                     TProgress& progress) {
  TScanOutcome outcome;
  InterruptSetsFlag(cancel);
  try {
    outcome = engine.Run(folder);
  } catch (...) {
    InterruptEndsProcess();
    progress.Done();
    throw;
  }
  InterruptEndsProcess();
  progress.Done();
  return outcome;
}

}  // namespace vexmoor::cli
