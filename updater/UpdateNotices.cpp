#include "updater/UpdateNotices.h"

#include <string_view>

#include "platform/Errors.h"
#include "platform/Path.h"
#include "updater/HttpUrl.h"

namespace vexmoor {

namespace {

// The client's raw texts and the words a person is shown instead.
struct TPlainReason {
  std::string_view Raw;
  std::string_view Plain;
};

constexpr TPlainReason kPlainReasons[] = {
    {"can't resolve hostname", "its name could not be found (no such server, or this computer is offline)"},
    {"(Error #111)", "it refused the connection (no update service answers at that address)"},
    {"(Error #110)", "it did not answer in time"},
    {"(Error #101)", "no network route leads to it (this computer may be offline)"},
    {"(Error #113)", "no network route leads to it (this computer may be offline)"},
    {"Connection closed", "it closed the connection before the answer was complete"},
};

std::string PlainReason(const std::string& message) {
  for (const TPlainReason& reason : kPlainReasons)
    if (message.find(reason.Raw) != std::string::npos) return std::string(reason.Plain);
  return message;
}

std::string ServerName(const std::string& baseUrl) {
  try {
    const THttpUrl url = SplitHttpUrl(baseUrl);
    return url.port == 80 ? url.host : url.host + ":" + std::to_string(url.port);
  } catch (const Error&) {
    return baseUrl;
  }
}

}  // namespace

std::string UpdateErrorText(const std::string& baseUrl, const std::string& message,
                            const std::string& settingsFile) {
  return "The update server \"" + ServerName(baseUrl) + "\" could not be asked for updates: " +
         PlainReason(message) + ".\nIts address is the setting UpdateURL (now \"" + baseUrl + "\") in \"" +
         settingsFile + "\"; change it there to the address of an update service that works";
}

std::string UpdateCheckingText(const std::string& baseUrl) {
  return "Checking for updates at " + ServerName(baseUrl) + "\xE2\x80\xA6";
}

std::string UpdateArrivedText(const std::vector<TUpdateRecord>& records, const TUpdateRunResult& run) {
  std::string names;
  std::string folder;
  for (const TUpdateOutcome& item : run.Items) {
    if (!item.Error.empty() || item.Index >= records.size()) continue;
    if (folder.empty()) folder = PathFolder(item.LocalPath);
    if (!names.empty()) names += ", ";
    names += records[item.Index].Name + " (" + PathFileName(item.LocalPath) + ")";
  }
  return names.empty() ? std::string() : "Updated: " + names + " in " + folder;
}

}  // namespace vexmoor
