// The program's folder: where the default dat, the cache files and the
// update downloads live, and what the process makes its current folder at
// start. The POSIX implementation lives in ProgramFolder-posix.cpp.
#pragma once

#include <string>

namespace vexmoor {

// The folder of the program file `executablePath` when the program may
// write there (a portable folder); otherwise the per-user data folder
// "$XDG_DATA_HOME/vexmoor/" ("~/.local/share/vexmoor/" when XDG_DATA_HOME is
// unset or not absolute), created when missing. The result ends with the
// folder separator. When the data folder cannot be created either, the
// program's own folder is returned (reads still work there).
std::string ChooseProgramFolder(const std::string& executablePath);

// Makes `folder` the process's current folder. Throws IoError.
void SetCurrentFolder(const std::string& folder);

// The process's current folder, or "" when the system does not tell it.
std::string CurrentFolder();

}  // namespace vexmoor
