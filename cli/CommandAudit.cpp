#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "catalogue/DatLoader.h"
#include "cli/AuditOutput.h"
#include "cli/Commands.h"
#include "platform/Console.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/Folder.h"
#include "platform/Path.h"
#include "reports/FixDat.h"
#include "reports/HaveMissLists.h"
#include "scan/DatOpen.h"
#include "scan/ScanEngine.h"
#include "scan/store/ChecksumStore.h"

namespace vexmoor::cli {

namespace {

struct TAuditOptions {
  std::string dat;
  std::string folder;
  bool noCache = false;
  bool noTrimmed = false;
  bool json = false;
  bool rehash = false;
  bool noChecksumCache = false;
  std::optional<std::string> listsFolder;
  std::optional<std::string> fixDatPath;
  unsigned workers = DefaultScanWorkers();
};

// A worker count: digits only, at most 1024.
std::optional<unsigned> ParseWorkers(const std::string& text) {
  if (text.empty() || text.size() > 4) return std::nullopt;
  unsigned value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + unsigned(c - '0');
  }
  if (value > 1024) return std::nullopt;
  return value;
}

std::optional<TAuditOptions> ParseAuditArgs(const Args& args) {
  TAuditOptions options;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--no-cache") {
      options.noCache = true;
    } else if (arg == "--no-trimmed") {
      options.noTrimmed = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--rehash") {
      options.rehash = true;
    } else if (arg == "--no-checksum-cache") {
      options.noChecksumCache = true;
    } else if (arg == "--workers" && i + 1 < args.size()) {
      const std::optional<unsigned> workers = ParseWorkers(args[++i]);
      if (!workers) return std::nullopt;
      options.workers = *workers;
    } else if ((arg == "--lists" || arg == "--fixdat") && i + 1 < args.size()) {
      (arg == "--lists" ? options.listsFolder : options.fixDatPath) = args[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      return std::nullopt;
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2) return std::nullopt;
  if (options.rehash && options.noChecksumCache) return std::nullopt;  // they contradict
  options.dat = positional[0];
  options.folder = positional[1];
  return options;
}

// Opens the dat with the loader its name selects; false after telling why.
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

// The progress line on stderr: redrawn at most ten times a second.
class TProgress {
 public:
  explicit TProgress(bool enabled) : enabled_(enabled) {}
  void Panel(int panel, const std::string& text) {
    if (!enabled_) return;
    if (panel == 2) path_ = text;
    if (panel == 0) matched_ = text;
    if (panel == 1) skipped_ = text;
    const auto now = std::chrono::steady_clock::now();
    if (now - shown_ < std::chrono::milliseconds(100)) return;
    shown_ = now;
    std::string path = path_;
    if (path.size() > 60) path = "..." + path.substr(path.size() - 57);
    std::fprintf(stderr, "\r\033[K%s |%s |%s", path.c_str(), matched_.c_str(), skipped_.c_str());
    std::fflush(stderr);
  }
  void Done() {
    if (enabled_) std::fprintf(stderr, "\r\033[K");
  }

 private:
  bool enabled_;
  std::string path_, matched_, skipped_;
  std::chrono::steady_clock::time_point shown_{};
};

// Ctrl+C during the scan: the same flag the Cancel menu entry sets.
std::atomic<bool> cancelRequested{false};

// The checksum store the scan consults, or none with --no-checksum-cache.
// Its lines (a store set aside, one that cannot be used) go to stderr.
std::unique_ptr<TChecksumStore> OpenChecksumStore(const TAuditOptions& options,
                                                  TProgress& progress) {
  if (options.noChecksumCache) return nullptr;
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

// The places the reports go, checked before the scan, so that a long scan
// never ends on a folder that is not there: the lists' folder is created
// when missing, the fix dat's folder must exist. False after telling why.
bool CheckOutputPlaces(const TAuditOptions& options) {
  if (options.listsFolder) {
    const std::string& folder = *options.listsFolder;
    try {
      CreateFolders(folder);
    } catch (const IoError& error) {
      ReportError(error.what());
      return false;
    }
    if (!IsWritableFolder(folder)) {
      ReportError("cannot write the lists into \"" + folder + "\": the folder refuses new files");
      return false;
    }
  }
  if (options.fixDatPath) {
    const std::string& path = *options.fixDatPath;
    const std::string folder = PathFolder(path);
    if (IsFolder(path) || PathFileName(path).empty()) {
      ReportError("\"" + path + "\" is a folder; --fixdat takes the name of the file to write");
      return false;
    }
    if (!IsWritableFolder(folder)) {
      ReportError("cannot write the fix dat \"" + path + "\": its folder is missing or refuses new files");
      return false;
    }
  }
  return true;
}

void ReportFailure(const std::exception_ptr& failure, const std::string& before) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& error) {
    ReportError(before + error.what());
  }
}

// Each report on its own: one that cannot be written does not keep the
// others from being written. False after telling why when one failed.
bool WriteReports(const TAuditOptions& options, const TAuditState& state, const TRomList& list) {
  bool written = true;
  auto attempt = [&](auto write) {
    try {
      write();
    } catch (const Error&) {
      ReportFailure(std::current_exception(), "");
      written = false;
    }
  };
  if (options.listsFolder) attempt([&] { SaveHaveMissLists(state, *options.listsFolder); });
  if (options.fixDatPath) attempt([&] { SaveFixDat(state, list, *options.fixDatPath); });
  return written;
}

}  // namespace

int RunAudit(const Args& args) {
  const std::optional<TAuditOptions> options = ParseAuditArgs(args);
  if (!options) return UsageError("audit");
  TAuditState state;
  state.CacheResults = !options->noCache;
  state.MatchTrimmed = !options->noTrimmed;
  TRomList list;
  TSortState sort;
  if (!LoadDat(state, list, sort, options->dat)) return 2;
  if (!IsFolder(options->folder)) {
    ReportError("\"" + options->folder + "\" is not a folder");
    return 2;
  }
  if (!CheckOutputPlaces(*options)) return 2;
  TProgress progress(IsTerminal(stderr));
  TScanCallbacks callbacks;
  callbacks.SetPanelText = [&](int panel, const std::string& text) { progress.Panel(panel, text); };
  TScanEngine engine(state, list, sort, cancelRequested, callbacks);
  const std::unique_ptr<TChecksumStore> store = OpenChecksumStore(*options, progress);
  engine.SetChecksumStore(store.get(), options->rehash);
  TPipelineLimits pipeline;
  pipeline.Workers = options->workers;
  engine.SetPipeline(pipeline);
  TScanOutcome outcome;
  InterruptSetsFlag(cancelRequested);
  try {
    outcome = engine.Run(options->folder);
  } catch (...) {
    InterruptEndsProcess();
    progress.Done();
    throw;
  }
  InterruptEndsProcess();
  progress.Done();
  // The results first: a report that cannot be written loses nothing.
  const std::string out = options->json ? AuditJson(state, list, outcome) : AuditText(state, list);
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  // The scan went on past what it could not look into; each path is named.
  for (const std::string& message : outcome.Unexamined) ReportError(message);
  const bool reportsWritten = WriteReports(*options, state, list);
  if (outcome.CacheWriteError) {
    ReportFailure(outcome.CacheWriteError,
                  "the results above are complete, but the cache was not written: ");
  }
  return reportsWritten && !outcome.CacheWriteError ? 0 : 1;
}

}  // namespace vexmoor::cli
