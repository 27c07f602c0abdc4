// Facts about the running process that the core asks the system for.
#pragma once

#include <string>

namespace vexmoor {

// The full path of the running program's file, or "" when the system does
// not tell it.
std::string ExecutablePath();

}  // namespace vexmoor
