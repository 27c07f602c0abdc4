// The default error report. Every handler of the desktop program (menu
// entries, drops, the window's creation) runs through Guarded or
// RunGuarded: an error it does not catch itself ends that handler and is
// shown in a message box — the error's text with a full stop added when its
// last character sorts after '.', the caption "Vexmoor", the critical icon
// and one OK button — and the program carries on.
#pragma once

#include <exception>
#include <string>
#include <type_traits>
#include <utility>

class QWidget;

namespace vexmoor::shell {

// What "-upgrade" says when the auditor of its folder is already running.
inline constexpr const char* kAlreadyRunningText =
    "Vexmoor is already running from this folder. Use its \"Update...\" entry (F5) to fetch the "
    "dats, or close it and start the clean upgrade again";

// Shows the report for `message` (dat and path bytes are decoded as the
// window shows them) through the dialog seam.
void ShowErrorReport(QWidget* owner, const std::string& message);

// Shows the report for the exception being handled; call inside a catch.
void ReportCurrentException(QWidget* owner);

// Runs `handler`, reporting what it throws. Returns false after a report.
template <typename Handler>
bool RunGuarded(QWidget* owner, Handler&& handler) {
  try {
    std::forward<Handler>(handler)();
    return true;
  } catch (...) {
    ReportCurrentException(owner);
    return false;
  }
}

// `handler` wrapped for connect(): the slot every signal of the program goes
// through. The signal's arguments reach `handler` when it takes them.
template <typename Handler>
auto Guarded(QWidget* owner, Handler handler) {
  return [owner, handler = std::move(handler)](auto&&... args) {
    RunGuarded(owner, [&] {
      if constexpr (std::is_invocable_v<const Handler&, decltype(args)...>)
        handler(args...);
      else
        handler();
    });
  };
}

}  // namespace vexmoor::shell
