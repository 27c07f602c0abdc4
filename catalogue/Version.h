#pragma once

#include <string>
#include <string_view>

namespace vexmoor {

// The program's version as shown to the user and as a number (version
// times 10000) for update lists and keys files.
inline constexpr const char* kProgramVersionText = "0.642";
inline constexpr double kProgramVersion = 0.642;
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

namespace vexmoor {

// `value` with at least `minDecimals` and at most `maxDecimals` decimals
// (rounded; trailing zeros beyond the minimum dropped) and
// `decimalSeparator` between the whole and the fraction: 0.642 with 2 and 4
// gives "0.642", 1.5 gives "1.50".
std::string FormatDecimals(double value, int minDecimals, int maxDecimals,
                           std::string_view decimalSeparator);

// The main window's caption, "Vexmoor v0.642 - Fast Rom Checklist", with the
// version written with two to four decimals and the user's separator.
std::string ProgramCaption(std::string_view decimalSeparator);

}  // namespace vexmoor
