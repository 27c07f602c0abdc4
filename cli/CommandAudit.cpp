#include <atomic>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "catalogue/DatLoader.h"
#include "cli/AuditOutput.h"
#include "cli/Commands.h"
#include "cli/ScanSteps.h"
#include "platform/Console.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/Folder.h"
#include "platform/Path.h"
#include "reports/FixDat.h"
#include "reports/HaveMissLists.h"
#include "reports/UnmatchedList.h"
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
  bool verify = false;
  std::optional<std::string> listsFolder;
  std::optional<std::string> fixDatPath;
  std::optional<std::string> unmatchedPath;
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
    } else if (arg == "--verify") {
      options.verify = true;
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
    } else if (arg == "--unmatched" && i + 1 < args.size()) {
      options.unmatchedPath = args[++i];
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

// Ctrl+C during the scan: the same flag the Cancel menu entry sets.
std::atomic<bool> cancelRequested{false};

// A file a report goes to: a name in a folder that takes new files. False
// after telling why.
bool CheckOutputFile(const std::string& path, const char* option, const char* what) {
  if (IsFolder(path) || PathFileName(path).empty()) {
    ReportError("\"" + path + "\" is a folder; " + option + " takes the name of the file to write");
    return false;
  }
  if (!IsWritableFolder(PathFolder(path))) {
    ReportError(std::string("cannot write ") + what + " \"" + path +
                "\": its folder is missing or refuses new files");
    return false;
  }
  return true;
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
  if (options.fixDatPath && !CheckOutputFile(*options.fixDatPath, "--fixdat", "the fix dat"))
    return false;
  if (options.unmatchedPath &&
      !CheckOutputFile(*options.unmatchedPath, "--unmatched", "the list of other files"))
    return false;
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
bool WriteReports(const TAuditOptions& options, const TAuditState& state, const TRomList& list,
                  const TFolderReport& folder) {
  bool written = true;
  auto attempt = [&](auto write) {
    try {
      write();
    } catch (const Error&) {
      ReportFailure(std::current_exception(), "");
      written = false;
    }
  };
  if (options.listsFolder) attempt([&] { SaveHaveMissLists(state, *options.listsFolder, &folder); });
  if (options.fixDatPath) attempt([&] { SaveFixDat(state, list, *options.fixDatPath); });
  if (options.unmatchedPath)
    attempt([&] { SaveUnmatchedList(folder, state.Catalogue, *options.unmatchedPath); });
  return written;
}

}  // namespace

int RunAudit(const Args& args) {
  const std::optional<TAuditOptions> options = ParseAuditArgs(args);
  if (!options) return UsageError("audit");
  TAuditState state;
  state.CacheResults = !options->noCache;
  state.MatchTrimmed = !options->noTrimmed;
  state.VerifyArchives = options->verify;
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
  const std::unique_ptr<TChecksumStore> store =
      options->noChecksumCache ? nullptr : OpenChecksumStore(progress);
  engine.SetChecksumStore(store.get(), options->rehash);
  TPipelineLimits pipeline;
  pipeline.Workers = options->workers;
  engine.SetPipeline(pipeline);
  const TScanOutcome outcome = RunScan(engine, options->folder, cancelRequested, progress);
  // The results first: a report that cannot be written loses nothing.
  // The other files join the output only when asked for: without
  // --unmatched it stays as it always was.
  const bool unmatched = options->unmatchedPath.has_value();
  const TTextSink out = [](std::string_view piece) { std::fwrite(piece.data(), 1, piece.size(), stdout); };
  if (options->json) {
    WriteAuditJson(state, list, outcome, unmatched, out);
  } else {
    WriteAuditText(state, list, out);
    if (unmatched) out(UnmatchedCountLines(outcome.Folder));
  }
  std::fflush(stdout);
  // The scan went on past what it could not look into; each path is named.
  for (const std::string& message : outcome.Unexamined) ReportError(message);
  for (const TChecksumMismatch& mismatch : outcome.Mismatches)
    ReportError(ChecksumMismatchText(mismatch, state.Catalogue[mismatch.Entry]));
  const bool reportsWritten = WriteReports(*options, state, list, outcome.Folder);
  if (outcome.CacheWriteError) {
    ReportFailure(outcome.CacheWriteError,
                  "the results above are complete, but the cache was not written: ");
  }
  return reportsWritten && !outcome.CacheWriteError ? 0 : 1;
}

}  // namespace vexmoor::cli
