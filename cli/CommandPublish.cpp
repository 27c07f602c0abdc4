#include <cstdio>
#include <exception>

#include "cli/Commands.h"
#include "updater/UpdatePublish.h"

namespace vexmoor::cli {

// A list that names files the folder does not hold promises downloads that
// will fail: that is an error, printed without the list, unless
// --allow-missing asks for the list all the same.
int RunPublish(const Args& args) {
  const bool allowMissing = !args.empty() && args[0] == "--allow-missing";
  const size_t first = allowMissing ? 1 : 0;
  if (args.size() != first + 1 || args[first].empty() || args[first][0] == '-')
    return UsageError("publish");
  const std::string& keysFile = args[first];
  try {
    const TPublishedList list = PublishUpdateList(keysFile);
    for (const std::string& warning : list.Warnings) ReportError(warning);
    if (!list.Warnings.empty() && !allowMissing) {
      ReportError("not published: " + std::to_string(list.Warnings.size()) +
                  " file(s) named in \"" + keysFile +
                  "\" are missing (--allow-missing publishes the list without their sizes)");
      return 1;
    }
    std::fwrite(list.Text.data(), 1, list.Text.size(), stdout);
  } catch (const std::exception& error) {
    ReportError("cannot publish \"" + keysFile + "\": " + error.what());
    return 1;
  }
  return 0;
}

}  // namespace vexmoor::cli
