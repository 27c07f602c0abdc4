// Test helpers for real processes: copies of test programs placed in a
// temporary folder, and waiting for what a detached process leaves behind.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace vexmoor::test {

// The stand-in program that runs the start-up switches (SelfReplaceDriver).
std::string DriverProgram();

// Copies the program file `source` to `target`, executable, and returns
// `target`.
std::string CopyProgram(const std::string& source, const std::string& target);

// A program that keeps its file busy: a copy of the system's `sleep` at
// `target`, started for `seconds`. Returns the copy's path.
std::string StartBusyProgram(const std::string& target, double seconds);

// Polls `done` every 20 ms until it holds or `limit` has passed; returns its
// last answer.
bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(20));

}  // namespace vexmoor::test
