#include "scan/ThrottledPump.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vexmoor {
namespace {

using namespace std::chrono_literals;

// A clock that moves only when the test says so.
struct TFakeClock {
  TPumpThrottle::TClock::time_point now{};
  TPumpThrottle Throttle(std::chrono::milliseconds interval = kPumpInterval) {
    return TPumpThrottle(interval, [this] { return now; });
  }
};

TEST(PumpThrottleTest, DueAtOnceThenOncePerIntervalMeasuredFromTheLastPump) {
  TFakeClock clock;
  TPumpThrottle throttle = clock.Throttle(15ms);
  EXPECT_TRUE(throttle.Due());
  EXPECT_FALSE(throttle.Due());
  clock.now += 14ms;
  EXPECT_FALSE(throttle.Due());
  clock.now += 1ms;
  EXPECT_TRUE(throttle.Due());
  clock.now += 40ms;  // a long step: one pump, not three
  EXPECT_TRUE(throttle.Due());
  EXPECT_FALSE(throttle.Due());
  clock.now += 15ms;
  EXPECT_TRUE(throttle.Due());
}

class ThrottledCallbacksTest : public ::testing::Test {
 protected:
  // A window that records what it is told, in order.
  TScanCallbacks Window() {
    TScanCallbacks window;
    window.SetPanelText = [this](int panel, const std::string& text) {
      told_.push_back(std::to_string(panel) + text);
    };
    window.ProcessMessages = [this] { told_.push_back("pump"); };
    window.ProcessMessagesBetweenChunks = [this] { told_.push_back("chunk"); };
    window.ListRebuilt = [this] { told_.push_back("rebuilt"); };
    return window;
  }

  TFakeClock clock_;
  std::vector<std::string> told_;
};

TEST_F(ThrottledCallbacksTest, PanelsAndEventsReachTheWindowOncePerIntervalWithTheLatestTexts) {
  TThrottledCallbacks throttled(Window(), clock_.Throttle(15ms));
  const TScanCallbacks engine = throttled.Callbacks();
  engine.SetPanelText(2, "/r/");
  engine.ProcessMessages();  // the first pump is due at once
  EXPECT_EQ(told_, (std::vector<std::string>{"2/r/", "pump"}));
  told_.clear();
  for (int path = 0; path < 100; ++path) {
    engine.SetPanelText(2, "/r/" + std::to_string(path));
    engine.ProcessMessages();
    engine.SetPanelText(0, " Matched : " + std::to_string(path));
    engine.SetPanelText(1, " Skipped : 0");
  }
  EXPECT_TRUE(told_.empty());
  clock_.now += 15ms;
  engine.SetPanelText(2, "/r/last");
  engine.ProcessMessagesBetweenChunks();
  EXPECT_EQ(told_,
            (std::vector<std::string>{"0 Matched : 99", "1 Skipped : 0", "2/r/last", "chunk"}));
  told_.clear();
  engine.SetPanelText(7, "any other panel");  // not held back
  engine.SetPanelText(0, " Found : 1");
  engine.ListRebuilt();  // passes at once, after the texts so far
  engine.SetPanelText(2, " Scanning complete.");
  throttled.Flush();
  throttled.Flush();  // nothing new: nothing shown twice
  EXPECT_EQ(told_, (std::vector<std::string>{"7any other panel", "0 Found : 1", "rebuilt",
                                             "2 Scanning complete."}));
}

TEST_F(ThrottledCallbacksTest, APumpTheWindowLeavesUnsetStaysUnset) {
  // The engine works differently without a wait pump; the wrapper must not
  // invent one.
  TThrottledCallbacks throttled(Window(), clock_.Throttle());
  const TScanCallbacks engine = throttled.Callbacks();
  EXPECT_TRUE(engine.ProcessMessages);
  EXPECT_FALSE(engine.ProcessMessagesWhileWaiting);
  EXPECT_TRUE(engine.ProcessMessagesBetweenChunks);
  engine.StatusTextsWritten();  // unset in the window: nothing to call
  EXPECT_TRUE(told_.empty());
}

}  // namespace
}  // namespace vexmoor
