#include "updater/SelfReplace.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/FileWait.h"
#include "platform/Folder.h"
#include "platform/Path.h"
#include "platform/Process.h"
#include "updater/UpdateConfig.h"
#include "updater/UpdateLog.h"

namespace vexmoor {

TStartCommand ParseStartCommand(const std::vector<std::string>& arguments) {
  TStartCommand command;
  if (arguments.empty()) return command;
  const std::string& first = arguments[0];
  if (first == kUpdateSwitch) command.Switch = TStartSwitch::Update;
  if (first == kDeleteSwitch) command.Switch = TStartSwitch::Delete;
  if (first == kUpgradeSwitch) command.Switch = TStartSwitch::Upgrade;
  if (command.Switch != TStartSwitch::None && arguments.size() > 1) command.Path = arguments[1];
  return command;
}

std::string SwitchParameters(std::string_view switchText, std::string_view path) {
  std::string text(switchText);
  text += " \"";
  text += path;
  return text;
}

std::chrono::milliseconds FileWaitBound() {
  const char* value = std::getenv(kFileWaitBoundVariable);
  if (value == nullptr) return kFileWaitBound;
  const std::string_view text(value);
  long long milliseconds = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), milliseconds);
  if (error != std::errc() || end != text.data() + text.size() || milliseconds < 0) {
    return kFileWaitBound;
  }
  return std::chrono::milliseconds(milliseconds);
}

namespace {

// The log line, and the same words on standard error when something failed.
void Note(const TStartContext& context, std::string_view generation, const std::string& what,
          const std::string& outcome, bool failed) {
  AppendUpdateLog(context.LogFolder, generation, what, outcome);
  if (failed) {
    std::fprintf(stderr, "%s %.*s: %s: %s\n", PathFileName(context.ProgramPath).c_str(),
                 static_cast<int>(generation.size()), generation.data(), what.c_str(),
                 outcome.c_str());
  }
}

std::string Seconds(std::chrono::milliseconds span) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(span.count()) / 1000.0);
  return text;
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

TFileWait WaitFor(const std::string& path, const TStartContext& context) {
  return WaitForFileRelease(path, context.WaitInterval, context.WaitBound);
}

// The step between the wait and the start: the copy over the target, or why
// there was none. Sets `failed` when the target keeps its old contents.
std::string CopyOver(const std::string& target, const TStartContext& context, bool& failed) {
  if (!IsWritableFolder(PathFolder(target))) {
    failed = true;
    return "not replaced: its folder is not writable, so the package manager updates it";
  }
  try {
    CopyFileAtomically(context.ProgramPath, target);
    return "replaced";
  } catch (const Error& error) {
    failed = true;
    return std::string("not replaced: ") + error.what();
  }
}

TStartOutcome RunUpdate(const std::string& target, const TStartContext& context) {
  constexpr std::string_view kGeneration = kUpdateSwitch;
  const std::string what = "copy " + Quoted(context.ProgramPath) + " over " + Quoted(target);
  if (target.empty() || IsSameFile(target, context.ProgramPath)) {
    Note(context, kGeneration, what, "refused: no other program file was named", true);
    return TStartOutcome::EndProcess;
  }
  const TFileWait wait = WaitFor(target, context);
  if (wait.Outcome == TFileWaitOutcome::TimedOut) {
    Note(context, kGeneration, what,
         "refused: the program was still running after " + Seconds(wait.Waited) +
             "; nothing replaced, nothing started",
         true);
    return TStartOutcome::EndProcess;
  }
  if (wait.Outcome == TFileWaitOutcome::Missing) {
    Note(context, kGeneration, what, "refused: the program file does not exist", true);
    return TStartOutcome::EndProcess;
  }
  bool failed = false;
  std::string outcome = "waited " + Seconds(wait.Waited) + ", " + CopyOver(target, context, failed);
  try {
    const int64_t started = StartProgram(target, SwitchParameters(kDeleteSwitch, context.ProgramPath), "");
    outcome += ", started it with " + std::string(kDeleteSwitch) + " as pid " + std::to_string(started);
  } catch (const Error& error) {
    failed = true;
    outcome += std::string(", not started: ") + error.what();
  }
  Note(context, kGeneration, what, outcome, failed);
  return TStartOutcome::EndProcess;
}

// Why `path` is no file "-delete" may remove, or "" when it is one.
std::string DeleteRefusal(const std::string& path, const TStartContext& context) {
  if (!PathFileName(path).starts_with(kUpdatedProgramPrefix)) {
    return "refused: only a downloaded build named \"" + std::string(kUpdatedProgramPrefix) +
           "...\" is deleted";
  }
  if (IsSameFile(path, context.ProgramPath)) return "refused: it is the running program";
  return "";
}

TStartOutcome RunDelete(const std::string& path, const TStartContext& context) {
  constexpr std::string_view kGeneration = kDeleteSwitch;
  const std::string what = "delete " + Quoted(path);
  if (const std::string refusal = DeleteRefusal(path, context); !refusal.empty()) {
    Note(context, kGeneration, what, refusal, true);
    return TStartOutcome::Continue;
  }
  const TFileWait wait = WaitFor(path, context);
  if (wait.Outcome == TFileWaitOutcome::TimedOut) {
    Note(context, kGeneration, what,
         "kept: it was still running after " + Seconds(wait.Waited), true);
  } else if (wait.Outcome == TFileWaitOutcome::Missing) {
    Note(context, kGeneration, what, "nothing to delete: no such file", false);
  } else {
    try {
      RemoveFile(path);
      Note(context, kGeneration, what, "waited " + Seconds(wait.Waited) + ", deleted", false);
    } catch (const Error& error) {
      Note(context, kGeneration, what, std::string("not deleted: ") + error.what(), true);
    }
  }
  return TStartOutcome::Continue;
}

}  // namespace

TStartOutcome RunStartCommand(const TStartCommand& command, const TStartContext& context) {
  switch (command.Switch) {
    case TStartSwitch::Update: return RunUpdate(command.Path, context);
    case TStartSwitch::Delete: return RunDelete(command.Path, context);
    case TStartSwitch::Upgrade: return TStartOutcome::OpenUpdateWindow;
    case TStartSwitch::None: break;
  }
  return TStartOutcome::Continue;
}

void StartProgramUpdate(const std::string& downloadedPath, const std::string& programPath,
                        const std::string& logFolder) {
  const std::string what = "start " + Quoted(downloadedPath) + " to replace " + Quoted(programPath);
  try {
    if (!CanReplaceProgram(programPath)) {
      throw Error("The program's folder is not writable; the package manager updates it");
    }
    if (downloadedPath.find('"') != std::string::npos) {
      throw Error("The downloaded program's path holds a double quote");
    }
    MakeExecutable(downloadedPath);
    const int64_t started =
        StartProgram(downloadedPath, SwitchParameters(kUpdateSwitch, programPath), "");
    AppendUpdateLog(logFolder, "hand-over", what, "started as pid " + std::to_string(started));
  } catch (const Error& error) {
    AppendUpdateLog(logFolder, "hand-over", what, std::string("not started: ") + error.what());
    throw;
  }
}

}  // namespace vexmoor
