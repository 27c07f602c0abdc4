// A test hook of the program's entry point, set through the environment only
// (never a user-facing switch): with VEXMOOR_TEST_STARTED_FILE naming a file,
// every dialog answers its default without being shown, and the program
// appends one line "started" plus its arguments to that file once its main
// window is up, and ends. Tests of the start-up switches use it to see which
// process generation reached the usual start-up.
#pragma once

#include <QStringList>

namespace vexmoor::shell {

inline constexpr char kStartedFileVariable[] = "VEXMOOR_TEST_STARTED_FILE";

// When the variable is set, scripts the dialogs (TDialogs::Script) so that no
// message box waits for an answer. Called once the application exists.
void PrepareStartedHook();

// Arms the hook when the variable is set: called after the main window is
// shown, it notes `arguments` and quits the event loop once it runs.
void ArmStartedHook(const QStringList& arguments);

}  // namespace vexmoor::shell
