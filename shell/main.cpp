// moorscan: the desktop auditor. Start-up in its fixed order: the command
// line, the program's folder, the application, the main window, the hidden
// encoder window, the event loop.
#include <QApplication>
#include <string>
#include <vector>

#include "encoder/formEncoder.h"
#include "platform/Process.h"
#include "platform/ProgramFolder.h"
#include "platform/qt/InstanceLock.h"
#include "shell/ErrorReport.h"
#include "shell/StartHook.h"
#include "shell/formMain.h"
#include "updater/SelfReplace.h"
#include "updater/formUpdate.h"

namespace {

// The command-line handler: does the work of "-update", "-delete" and
// "-upgrade" before any window exists and says how start-up goes on
// (EndProcess only after "-update"). The arguments arrive split by the
// system, or by StartProgram's splitter when a generation started us.
vexmoor::TStartOutcome HandleCommandLine(int argc, char** argv, const std::string& programPath,
                                         const std::string& programFolder) {
  vexmoor::TStartContext context;
  context.ProgramPath = programPath;
  context.LogFolder = programFolder;
  context.WaitBound = vexmoor::FileWaitBound();
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return vexmoor::RunStartCommand(vexmoor::ParseStartCommand(arguments), context);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string programPath = vexmoor::ExecutablePath();
  const std::string programFolder = vexmoor::ChooseProgramFolder(programPath);
  const vexmoor::TStartOutcome start = HandleCommandLine(argc, argv, programPath, programFolder);
  if (start == vexmoor::TStartOutcome::EndProcess) return 0;
  // From here on bare file names (the dat in the settings) resolve against
  // the program's folder.
  vexmoor::SetCurrentFolder(programFolder);
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vexmoor"));
  vexmoor::shell::PrepareStartedHook();
  // Held for the whole run: a later start from this folder sees it.
  const vexmoor::TInstanceLock instance(QString::fromStdString(programFolder));
  // "-upgrade" (a clean upgrade started it) while this folder's auditor
  // runs: the running one is left to fetch the dats; no second window
  // opens on top of it.
  if (start == vexmoor::TStartOutcome::OpenUpdateWindow && !instance.Held()) {
    vexmoor::shell::ShowErrorReport(nullptr, vexmoor::shell::kAlreadyRunningText);
    return 0;
  }
  // "-upgrade": the update window before anything else, owned by no window;
  // nothing is reloaded afterwards (the main window loads its dat anew).
  if (start == vexmoor::TStartOutcome::OpenUpdateWindow) {
    vexmoor::shell::RunUpdateWindow(nullptr, vexmoor::shell::DefaultUpdateFormConfig());
    if (vexmoor::shell::ProgramHandedOver()) return 0;
  }
  vexmoor::shell::TMainForm mainForm(programFolder);
  // Owned by the main window: placed over it, and closing the main window
  // ends the program even while the encoder is open.
  vexmoor::shell::TEncoderForm encoderForm(&mainForm);
  mainForm.SetEncoderForm(&encoderForm);
  mainForm.show();
  vexmoor::shell::ArmStartedHook(QApplication::arguments().mid(1));
  return QApplication::exec();
}
