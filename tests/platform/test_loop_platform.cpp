#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/loop_platform.h"

namespace fd::platform {
namespace {

TEST(LoopPlatform, HandOverFromAnotherThreadRunsOnTheLoopThreadAndWaits) {
  LoopPlatform p;
  const auto loopThread = std::this_thread::get_id();
  std::atomic<bool> ranOnLoop{false};
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    p.RunOnUiThread([&] { ranOnLoop = (std::this_thread::get_id() == loopThread); });
    returned = true;
  });
  EXPECT_TRUE(p.RunUntil([&] { return returned.load(); }, 2000));
  worker.join();
  EXPECT_TRUE(ranOnLoop);
}

TEST(LoopPlatform, HandOverOnTheLoopThreadRunsDirectly) {
  LoopPlatform p;
  int n = 0;
  p.RunOnUiThread([&] { ++n; });
  EXPECT_EQ(n, 1);
}

TEST(LoopPlatform, TimerFiresRepeatedlyWhileTheLoopRuns) {
  LoopPlatform p;
  int fired = 0;
  auto t = p.CreateTimer();
  t->SetInterval(5);
  t->OnTimer = [&] { ++fired; };
  t->SetEnabled(true);
  EXPECT_TRUE(p.RunUntil([&] { return fired >= 3; }, 2000));
  t->SetEnabled(false);
  const int after = fired;
  p.RunFor(30);
  EXPECT_EQ(fired, after);
}

}  // namespace
}  // namespace fd::platform
