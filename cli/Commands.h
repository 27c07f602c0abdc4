// The subcommands of the `vexmoor` tool. Each takes the arguments after its
// name and returns the process exit code: 0 success, 1 a runtime failure,
// 2 a usage error.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vexmoor::cli {

using Args = std::vector<std::string>;

struct Command {
  const char* name;
  const char* usage;    // the arguments, for the usage line
  const char* summary;  // one line for --help
  int (*run)(const Args& args);
};

// Every subcommand, in the order --help lists them.
const std::vector<Command>& AllCommands();

// Prints "usage: vexmoor NAME USAGE" on stderr and returns 2.
int UsageError(const Command& command);
int UsageError(const char* name);

// Prints "vexmoor: MESSAGE" on stderr.
void ReportError(const std::string& message);

// `text` for a person to read on one line: each control character (bytes
// 0x00-0x1F and 0x7F) becomes \xHH (two upper-case hex digits); every other
// byte, backslashes and non-ASCII bytes included, stays as it is.
std::string PrintableText(std::string_view text);

int RunCrc(const Args& args);
int RunLs(const Args& args);
int RunDecode(const Args& args);
int RunEncode(const Args& args);
int RunInfo(const Args& args);
int RunPack(const Args& args);
int RunPublish(const Args& args);
int RunUnpack(const Args& args);
int RunAudit(const Args& args);
int RunRebuild(const Args& args);
int RunUpdate(const Args& args);

}  // namespace vexmoor::cli
