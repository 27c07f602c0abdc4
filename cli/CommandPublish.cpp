#include <cstdio>
#include <exception>

#include "cli/Commands.h"
#include "updater/UpdatePublish.h"

namespace vexmoor::cli {

int RunPublish(const Args& args) {
  if (args.size() != 1 || args[0].empty() || args[0][0] == '-') return UsageError("publish");
  try {
    const TPublishedList list = PublishUpdateList(args[0]);
    for (const std::string& warning : list.Warnings) ReportError(warning);
    std::fwrite(list.Text.data(), 1, list.Text.size(), stdout);
  } catch (const std::exception& error) {
    ReportError("cannot publish \"" + args[0] + "\": " + error.what());
    return 1;
  }
  return 0;
}

}  // namespace vexmoor::cli
