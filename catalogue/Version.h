#pragma once

#include <string_view>

namespace vexmoor {

// The program's version as shown to the user and as a number (version
// times 10000) for update lists and keys files.
inline constexpr const char* kProgramVersionText = "0.642";
inline constexpr int ProgramVersionNumber = 6420;

// The product name, as the update keys file and message captions carry it.
inline constexpr std::string_view kProductName = "Vexmoor";

// The auditor program's file name as the platform names it. The encoder's
// update keys line names it whichever tool runs the encoder, and the updater
// recognises the program's own entry in the update list by it.
#ifdef _WIN32
inline constexpr std::string_view kAuditorProgramFileName = "moorscan.exe";
#else
inline constexpr std::string_view kAuditorProgramFileName = "moorscan";
#endif

}  // namespace vexmoor
