#include "scan/ThrottledPump.h"

#include <utility>

namespace vexmoor {

TPumpThrottle::TPumpThrottle(std::chrono::milliseconds interval,
                             std::function<TClock::time_point()> now)
    : interval_(interval), now_(now ? std::move(now) : [] { return TClock::now(); }) {}

bool TPumpThrottle::Due() {
  const TClock::time_point now = now_();
  if (started_ && now - last_ < interval_) return false;
  started_ = true;
  last_ = now;
  return true;
}

TThrottledCallbacks::TThrottledCallbacks(TScanCallbacks window, TPumpThrottle throttle)
    : window_(std::move(window)), throttle_(std::move(throttle)) {}

// Every callback is passed on below; a new one must be too.
static_assert(sizeof(TScanCallbacks) == 7 * sizeof(std::function<void()>));

TScanCallbacks TThrottledCallbacks::Callbacks() {
  TScanCallbacks callbacks;
  callbacks.SetPanelText = [this](int panel, const std::string& text) { Record(panel, text); };
  // Each pump is set only where the window's is: an unset one changes how
  // the engine works, not only what it calls.
  const auto throttled =
      [this](std::function<void()> TScanCallbacks::*pump) -> std::function<void()> {
    if (!(window_.*pump)) return {};
    return [this, pump] { PumpIfDue(window_.*pump); };
  };
  callbacks.ProcessMessages = throttled(&TScanCallbacks::ProcessMessages);
  callbacks.ProcessMessagesWhileWaiting = throttled(&TScanCallbacks::ProcessMessagesWhileWaiting);
  callbacks.ProcessMessagesBetweenChunks = throttled(&TScanCallbacks::ProcessMessagesBetweenChunks);
  callbacks.ListRebuilt = [this] { Pass(window_.ListRebuilt); };
  callbacks.StatusTextsWritten = [this] { Pass(window_.StatusTextsWritten); };
  callbacks.PathsDone = window_.PathsDone;
  return callbacks;
}

void TThrottledCallbacks::Record(int panel, const std::string& text) {
  if (panel < 0 || static_cast<size_t>(panel) >= kPanels) {
    if (window_.SetPanelText) window_.SetPanelText(panel, text);
    return;
  }
  const auto at = static_cast<size_t>(panel);
  texts_[at] = text;
  changed_[at] = true;
}

void TThrottledCallbacks::Flush() {
  for (size_t panel = 0; panel < kPanels; ++panel) {
    if (!changed_[panel]) continue;
    changed_[panel] = false;
    if (window_.SetPanelText) window_.SetPanelText(static_cast<int>(panel), texts_[panel]);
  }
}

void TThrottledCallbacks::PumpIfDue(const std::function<void()>& pump) {
  if (!throttle_.Due()) return;
  Flush();
  pump();
}

void TThrottledCallbacks::Pass(const std::function<void()>& notify) {
  Flush();
  if (notify) notify();
}

}  // namespace vexmoor
