#include "platform/Console.h"

#include <gtest/gtest.h>

#include <csignal>

namespace vexmoor {
namespace {

TEST(ConsoleTest, AnInterruptOnlySetsTheFlag) {
  static std::atomic<bool> flag{false};
  InterruptSetsFlag(flag);
  std::raise(SIGINT);
  EXPECT_TRUE(flag);
  InterruptEndsProcess();
}

}  // namespace
}  // namespace vexmoor
