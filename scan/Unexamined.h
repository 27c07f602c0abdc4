// What a window tells after a scan that could not look into some paths
// (TScanOutcome::Unexamined): one message for all of them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vexmoor {

// How many of the paths the message names; the rest are counted.
inline constexpr size_t kUnexaminedShown = 5;
// A line longer than this many bytes (a path nested deep) keeps its start
// and its end, with "..." between.
inline constexpr size_t kUnexaminedLineBytes = 300;

// "The scan could not examine 7 paths:" and the first kUnexaminedShown
// messages, one a line, then "and 2 more". "" when `unexamined` is empty.
// The bytes stay as they are (a shortened line is cut between characters
// of UTF-8); the window decodes them as it does paths.
std::string UnexaminedSummary(const std::vector<std::string>& unexamined);

}  // namespace vexmoor
