// vexmoor: the auditor's core from the command line.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "cli/Commands.h"
#include "catalogue/Version.h"
#include "platform/Console.h"
#include "platform/Process.h"

namespace {

void PrintHelp() {
  std::printf("Vexmoor %s - Fast Rom Checklist, command-line tool\n\n", vexmoor::kProgramVersionText);
  std::printf("usage: vexmoor COMMAND [ARGS...]\n       vexmoor --help | --version\n\ncommands:\n");
  for (const auto& command : vexmoor::cli::AllCommands()) {
    std::printf("  %s %s\n      %s\n", command.name, command.usage, command.summary);
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vexmoor::cli;
  vexmoor::PrepareStandardStreams();
  const std::vector<std::string> arguments = vexmoor::ProgramArguments(argc, argv);
  if (arguments.size() < 2) return UsageError("");
  const std::string& first = arguments[1];
  if (first == "--help" || first == "-h") {
    PrintHelp();
    return 0;
  }
  if (first == "--version") {
    std::printf("%s\n", vexmoor::kProgramVersionText);
    return 0;
  }
  for (const Command& command : AllCommands()) {
    if (first != command.name) continue;
    const Args args(arguments.begin() + 2, arguments.end());
    try {
      return command.run(args);
    } catch (const std::exception& error) {
      ReportError(error.what());
      return 1;
    }
  }
  std::fprintf(stderr, "vexmoor: unknown command \"%s\"\n", first.c_str());
  return UsageError("");
}
