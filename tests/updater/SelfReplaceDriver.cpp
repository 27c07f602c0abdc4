// A stand-in program for the self-replacement tests: it runs the start-up
// switches exactly as the real program's entry point does, and its "usual
// start-up" records its arguments and working folder in "started.txt" beside
// its own file, one line each, then ends. "--busy SECONDS" only keeps its
// file busy for that long (the busy program of the tests where no `sleep`
// program is at hand).
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/Path.h"
#include "platform/Process.h"
#include "updater/SelfReplace.h"

int main(int argc, char** argv) {
  using namespace vexmoor;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.size() == 2 && arguments[0] == "--busy") {
    std::this_thread::sleep_for(std::chrono::duration<double>(std::stod(arguments[1])));
    return 0;
  }
  TStartContext context;
  context.ProgramPath = ExecutablePath();
  context.LogFolder = PathFolder(context.ProgramPath);
  context.WaitBound = FileWaitBound();
  if (RunStartCommand(ParseStartCommand(arguments), context) == TStartOutcome::EndProcess) return 0;
  std::ofstream out(context.LogFolder + "started.txt", std::ios::app);
  out << "cwd " << std::filesystem::current_path().string() << '\n';
  for (const std::string& argument : arguments) out << "arg " << argument << '\n';
  out << "end\n";
  return 0;
}
