// A window's scan callbacks served by the clock rather than by the path:
// the engine pumps and sets the panels once per path, which on a folder of
// many small files costs a window more than the scan itself. Here each pump
// request is answered only when a pump interval has passed since the last
// one, and a panel text is handed to the window only then (the latest text
// of each panel), so a scan of 100,000 tiny files pumps about as often as
// one of a few large ones.
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <string>

#include "scan/ScanEngine.h"

namespace vexmoor {

// How long a long loop on a window's thread works between two pumps.
inline constexpr std::chrono::milliseconds kPumpInterval{15};

// Decides when it is time to pump.
class TPumpThrottle {
 public:
  using TClock = std::chrono::steady_clock;
  // `now` reads the clock (a test's fake; unset: TClock::now).
  explicit TPumpThrottle(std::chrono::milliseconds interval = kPumpInterval,
                         std::function<TClock::time_point()> now = {});

  // True on the first call and whenever `interval` or more has passed since
  // the last call that returned true.
  bool Due();

 private:
  std::chrono::milliseconds interval_;
  std::function<TClock::time_point()> now_;
  TClock::time_point last_{};
  bool started_ = false;
};

// Wraps a window's callbacks. Callbacks() gives the engine a set whose
// SetPanelText only records the text (of panels 0 to 2; any other panel
// is set at once) and whose three pumps share one throttle: when it is
// due, the panels whose text changed since they were last shown are set,
// in panel order, then the window's pump of the same name runs. A pump the
// window leaves unset stays unset, so the engine behaves as it would with
// the window's own callbacks. ListRebuilt and StatusTextsWritten pass
// straight through, after the texts recorded so far are shown; PathsDone
// passes straight through.
// Flush() shows the texts not yet shown: call it when Run() returns or
// throws, so the window always ends with the engine's last texts.
class TThrottledCallbacks {
 public:
  explicit TThrottledCallbacks(TScanCallbacks window, TPumpThrottle throttle = TPumpThrottle());

  // The callbacks to give the engine; they refer to this object, which must
  // outlive the engine's use of them.
  TScanCallbacks Callbacks();
  void Flush();

 private:
  void Record(int panel, const std::string& text);
  void PumpIfDue(const std::function<void()>& pump);
  void Pass(const std::function<void()>& notify);

  TScanCallbacks window_;
  TPumpThrottle throttle_;
  static constexpr size_t kPanels = 3;
  std::array<std::string, kPanels> texts_;
  std::array<bool, kPanels> changed_{};
};

}  // namespace vexmoor
