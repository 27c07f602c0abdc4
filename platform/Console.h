// The terminal side of the command-line tool: whether a stream is a
// terminal, and Ctrl+C turned into a request to stop.
#pragma once

#include <atomic>
#include <cstdio>

namespace vexmoor {

// True when `stream` writes to a terminal.
bool IsTerminal(std::FILE* stream);

// From now on an interrupt (Ctrl+C) sets `flag` instead of ending the
// process; the handler does nothing else. `flag` must outlive the process's
// handling of signals (a static or global). A second interrupt while the
// flag is still set ends the process as usual.
void InterruptSetsFlag(std::atomic<bool>& flag);

// Restores the default handling of interrupts.
void InterruptEndsProcess();

// Makes the standard streams carry the program's bytes as they are: UTF-8
// text shown as UTF-8 on a console, and no carriage return added before a
// line feed. Call once at start, before anything is written.
void PrepareStandardStreams();

}  // namespace vexmoor
