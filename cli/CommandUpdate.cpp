#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "catalogue/Version.h"
#include "cli/Commands.h"
#include "platform/File.h"
#include "platform/Path.h"
#include "platform/Process.h"
#include "updater/Updater.h"

namespace vexmoor::cli {

namespace {

struct TUpdateArgs {
  std::string baseUrl{kDefaultUpdateBaseUrl};
  std::string dir;
  std::string publicKeyFile;
  bool checkOnly = false;
};

bool ReadUpdateArgs(const Args& args, TUpdateArgs& out) {
  for (size_t i = 0; i < args.size(); ++i) {
    const bool hasValue = i + 1 < args.size();
    if (args[i] == "--check") {
      out.checkOnly = true;
    } else if (args[i] == "--base-url" && hasValue) {
      out.baseUrl = args[++i];
    } else if (args[i] == "--public-key" && hasValue) {
      out.publicKeyFile = args[++i];
    } else if (args[i] == "--dir" && hasValue) {
      out.dir = args[++i];
    } else {
      return false;
    }
  }
  return true;
}

// The auditor beside this tool: the program whose entry the list may hold.
std::string AuditorProgramPath() {
  return PathFolder(ExecutablePath()) + std::string(kAuditorProgramFileName);
}

// With `warnRefused`, says which entries a download would refuse.
void PrintOffered(const std::vector<TUpdateRecord>& offered, const std::string& programPath,
                  const std::string& dir, bool warnRefused) {
  for (const TUpdateRecord& record : offered) {
    std::printf(
        "%s\t%s\t%s\t%s%s\n", record.Name.c_str(), UpdateVersionText(record.Version).c_str(),
        UpdateDateTimeText(record.Timestamp).c_str(), record.File.c_str(),
        IsProgramDownload(record, programPath) ? "\t(the program: update it from its update window)"
                                               : "");
    const auto reason = RefusedDownloadReason(record, programPath, dir);
    if (warnRefused && reason) {
      ReportError("entry \"" + record.Section + "\" will not be downloaded: " + *reason);
    }
  }
  std::fflush(stdout);
}

void ShowProgress(const TByteCounters& counters) {
  std::fprintf(stderr, "\r%s  %s", CurrentBytesText(counters).c_str(),
               TotalBytesText(counters).c_str());
}

// Downloads every offered dat; the program entry is only listed.
int DownloadDats(TUpdater& updater, const std::vector<TUpdateRecord>& offered,
                 const std::string& programPath, const std::string& dir) {
  std::vector<bool> checked;
  for (const TUpdateRecord& record : offered)
    checked.push_back(!IsProgramDownload(record, programPath));
  updater.SetOnItem([](const TUpdateRecord& record, const std::string& path) {
    std::fprintf(stderr, "Downloading %s to %s\n", record.File.c_str(), path.c_str());
  });
  updater.SetOnProgress(ShowProgress);
  const TUpdateRunResult run = updater.Run(offered, checked, programPath, dir);
  for (const TUpdateOutcome& item : run.Items) {
    if (item.Error.empty()) {
      std::printf("Updated %s\n", item.LocalPath.c_str());
    } else {
      std::fprintf(stderr, "\n");
      ReportError("cannot download \"" + offered[item.Index].File + "\": " + item.Error);
    }
  }
  if (!run.Items.empty()) std::fprintf(stderr, "\n");
  return run.AllSucceeded() ? 0 : 1;
}

}  // namespace

int RunUpdate(const Args& args) {
  TUpdateArgs options;
  if (!ReadUpdateArgs(args, options)) return UsageError("update");
  if (!options.dir.empty() && !IsFolder(options.dir)) {
    ReportError("\"" + options.dir + "\" is not a folder");
    return 1;
  }
  const std::string programPath = AuditorProgramPath();
  TUpdater updater(options.baseUrl);
  std::vector<TUpdateRecord> offered;
  try {
    std::vector<std::string> keyFiles;
    if (!options.publicKeyFile.empty()) keyFiles.push_back(ReadWholeFile(options.publicKeyFile));
    updater.SetTrustedKeys(TrustedUpdateKeys("", keyFiles, {options.publicKeyFile}));
  } catch (const std::exception& error) {
    ReportError(error.what());
    return 2;
  }
  try {
    offered = updater.Check(programPath, options.dir);
  } catch (const EUntrustedList& error) {
    ReportError(error.what());
    return 2;
  } catch (const std::exception& error) {
    ReportError("cannot fetch the update list from " + updater.BaseUrl() + ": " + error.what());
    return 2;
  }
  if (offered.empty()) {
    std::printf("%.*s\n", static_cast<int>(kNoUpdatesText.size()), kNoUpdatesText.data());
    return 0;
  }
  PrintOffered(offered, programPath, options.dir, options.checkOnly);
  return options.checkOnly ? 0 : DownloadDats(updater, offered, programPath, options.dir);
}

}  // namespace vexmoor::cli
