// moorscan: the desktop auditor. Start-up in its fixed order: the command
// line, the program's folder, the application, the main window, the hidden
// encoder window, the event loop.
#include <QApplication>

#include "encoder/formEncoder.h"
#include "platform/Process.h"
#include "platform/ProgramFolder.h"
#include "shell/formMain.h"

namespace {

// The command-line handler: does the work of "-update", "-delete" and
// "-upgrade" and says whether start-up goes on (false only after
// "-update"). None of them is handled yet: start-up always goes on.
bool HandleCommandLine(int /*argc*/, char** /*argv*/) { return true; }

}  // namespace

int main(int argc, char** argv) {
  if (!HandleCommandLine(argc, argv)) return 0;
  const std::string programFolder = vexmoor::ChooseProgramFolder(vexmoor::ExecutablePath());
  // From here on bare file names (the dat in the settings) resolve against
  // the program's folder.
  vexmoor::SetCurrentFolder(programFolder);
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vexmoor"));
  vexmoor::shell::TMainForm mainForm(programFolder);
  vexmoor::shell::TEncoderForm encoderForm;
  mainForm.SetEncoderForm(&encoderForm);
  mainForm.show();
  return QApplication::exec();
}
