// The running process and the programs it starts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexmoor {

// The full path of the running program's file, or "" when the system does
// not tell it.
std::string ExecutablePath();

// The program's arguments as main received them, in UTF-8 (on Windows read
// from the wide command line, since main's are in the ANSI code page).
std::vector<std::string> ProgramArguments(int argc, char** argv);

// The system's number for the running process.
int64_t CurrentProcessId();

// Starts the program file `program` detached from this process (it outlives
// it, and this process never waits for it), with `parameters` split into its
// arguments by SplitCommandLine; no shell sees them, so blanks, quotes and
// '$' in them are safe. It runs in `workingFolder`, or in the current folder
// when that is "", with this process's environment. Returns the started
// process's number. Throws IoError with the system's reason when the program
// cannot be started (missing, not executable, a folder that cannot be
// entered).
int64_t StartProgram(const std::string& program, std::string_view parameters,
                     const std::string& workingFolder);

}  // namespace vexmoor
