#pragma once

namespace vexmoor {

// The program's version as shown to the user and as a number (version
// times 10000) for update lists and keys files.
inline constexpr const char* kProgramVersionText = "0.642";
inline constexpr int ProgramVersionNumber = 6420;

}  // namespace vexmoor
