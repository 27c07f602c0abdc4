// What the update window says beyond the list: the failure to ask the
// service (the server by name, the failure in plain words instead of the
// client's raw text, and the setting that names the server), the wait, and
// what a run brought.
#pragma once

#include <string>
#include <vector>

#include "updater/Updater.h"

namespace vexmoor {

// The failure `message` (an EHttpException's or socket error's text) of a
// request to the update service at `baseUrl`, for a person: which server,
// what went wrong ("its name could not be found" for a name that does not
// resolve, "it refused the connection" for a refused one, and so on; any
// other message as it is), and that the address is the setting UpdateURL
// in `settingsFile`, to be changed there.
std::string UpdateErrorText(const std::string& baseUrl, const std::string& message,
                            const std::string& settingsFile);

// The text the update window shows while it waits for the service's list:
// "Checking for updates at HOST…".
std::string UpdateCheckingText(const std::string& baseUrl);

// What an update run brought, for the main window's status bar: "Updated:
// NAME (FILE), ... in FOLDER" for the downloads that succeeded, "" when
// none did. FOLDER is that of the first file written.
std::string UpdateArrivedText(const std::vector<TUpdateRecord>& records, const TUpdateRunResult& run);

}  // namespace vexmoor
