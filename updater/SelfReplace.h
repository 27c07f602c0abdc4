// The program's start-up switches, by which a new build replaces the running
// one in three process generations that hand over through the command line
// and the files on disk:
//
//   old build A (update window)  starts B = folder + "upd-" + file:  -update "A
//   B: waits until A is free, copies itself over A, starts A:        -delete "B
//   A (now the new build): waits until B has ended, deletes B, starts as usual.
//
// "-upgrade" opens the update window before the usual start-up. This file is
// the whole decision; the program's entry point only runs it first thing and
// shows the update window when asked to.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "updater/UpdateCheck.h"

namespace vexmoor {

inline constexpr std::string_view kUpdateSwitch = "-update";
inline constexpr std::string_view kDeleteSwitch = "-delete";
inline constexpr std::string_view kUpgradeSwitch = "-upgrade";

enum class TStartSwitch { None, Update, Delete, Upgrade };

struct TStartCommand {
  TStartSwitch Switch = TStartSwitch::None;
  std::string Path;  // the second argument ("" when absent)
};

// Reads the program's arguments (the program name left out). The first
// argument selects the switch, compared exactly, case included; anything
// else, or nothing, is TStartSwitch::None.
TStartCommand ParseStartCommand(const std::vector<std::string>& arguments);

// The parameter text that hands `path` to a switch: the switch, a space, a
// double quote and the path, no closing quote, so the path arrives whole
// whatever it contains (SplitCommandLine runs an open quote to the end).
std::string SwitchParameters(std::string_view switchText, std::string_view path);

// How often and how long a generation waits for the previous one to let go
// of its program file.
inline constexpr std::chrono::milliseconds kFileWaitInterval{200};
inline constexpr std::chrono::milliseconds kFileWaitBound{60000};
// Tests shorten the bound with this environment variable (milliseconds).
inline constexpr const char* kFileWaitBoundVariable = "VEXMOOR_TEST_FILE_WAIT_MS";

// kFileWaitBound, or the value of kFileWaitBoundVariable when it is set to a
// number.
std::chrono::milliseconds FileWaitBound();

// What one start-up generation needs from its surroundings.
struct TStartContext {
  std::string ProgramPath;  // the running program's own file
  std::string LogFolder;    // the program's folder: where the log goes
  std::chrono::milliseconds WaitInterval = kFileWaitInterval;
  std::chrono::milliseconds WaitBound = kFileWaitBound;
};

enum class TStartOutcome {
  EndProcess,        // "-update" was handled: end without any window
  Continue,          // go on with the usual start-up
  OpenUpdateWindow,  // show the update window modally, then the usual start-up
};

// Does the switch's work and says how start-up goes on. Never throws; every
// failure is written to standard error and to the log and leaves the files as
// safe as it found them:
// - "-update": waits for the target; a target still busy at the bound, a
//   missing one, or the running program itself is left alone and nothing is
//   started. Otherwise the running program's file is copied over the target
//   (not when the target's folder is not writable: a package manager owns
//   that file), and the target is started with "-delete" and this program's
//   path whether or not the copy worked, so the build that is there cleans up.
// - "-delete": deletes the file once it is free, but only a file whose name
//   begins with "upd-" and that is not the running program; a file still
//   busy at the bound is kept.
TStartOutcome RunStartCommand(const TStartCommand& command, const TStartContext& context);

// The old build's last step: marks the downloaded build `downloadedPath`
// executable and starts it with "-update" and `programPath`, in the current
// folder, then logs the hand-over in `logFolder`. The caller ends the
// application afterwards. Throws Error (naming the reason) when the program
// cannot be replaced (CanReplaceProgram), a path holds a double quote or the
// build cannot be started; the caller then keeps running.
void StartProgramUpdate(const std::string& downloadedPath, const std::string& programPath,
                        const std::string& logFolder);

}  // namespace vexmoor
