#include <gtest/gtest.h>

#include <vector>

#include "platform/virtual_platform.h"

namespace fd::platform {
namespace {

TEST(VirtualClock, SleepMovesTimeAtOnceAndTickCountWraps) {
  VirtualClock clock(0xFFFFFFF0u);
  EXPECT_EQ(clock.TickCount(), 0xFFFFFFF0u);
  clock.Sleep(0x20);
  EXPECT_EQ(clock.TickCount(), 0x10u);
  EXPECT_EQ(clock.Elapsed(), 0x20u);
  EXPECT_EQ(TicksSince(0xFFFFFFF0u, clock.TickCount()), 0x20u);
}

TEST(VirtualPlatform, TimersFireOnlyInsideAdvanceAndInTimeOrder) {
  VirtualPlatform p;
  std::vector<std::pair<char, uint64_t>> fired;
  auto a = p.CreateTimer();
  auto b = p.CreateTimer();
  a->SetInterval(70);
  b->SetInterval(25);
  a->OnTimer = [&] { fired.push_back({'a', p.Virtual().Elapsed()}); };
  b->OnTimer = [&] { fired.push_back({'b', p.Virtual().Elapsed()}); };
  a->SetEnabled(true);
  b->SetEnabled(true);

  p.GetClock().Sleep(500);  // a sleep never fires timers
  EXPECT_TRUE(fired.empty());

  p.Advance(75);
  // Both fell behind during the sleep: each fires once at once, then one interval from then.
  std::vector<std::pair<char, uint64_t>> expected{{'b', 500}, {'a', 500}, {'b', 525},
                                                  {'b', 550}, {'a', 570}, {'b', 575}};
  EXPECT_EQ(fired, expected);
  EXPECT_EQ(p.Virtual().Elapsed(), 575u);
}

TEST(VirtualPlatform, HandlerThatSleepsPastItsNextMomentFiresAgainRightAfter) {
  VirtualPlatform p;
  std::vector<uint64_t> at;
  auto t = p.CreateTimer();
  t->SetInterval(70);
  t->OnTimer = [&] {
    at.push_back(p.Virtual().Elapsed());
    p.GetClock().Sleep(100);  // longer than the interval, like a slow exchange
  };
  t->SetEnabled(true);
  p.Advance(400);
  // Its next moment (140) passed during the handler: it fires once, late, and never in a burst.
  EXPECT_EQ(at, (std::vector<uint64_t>{70, 170, 270, 370}));
}

TEST(VirtualPlatform, DisabledOrDestroyedTimersStaySilent) {
  VirtualPlatform p;
  int count = 0;
  auto t = p.CreateTimer();
  t->SetInterval(10);
  t->OnTimer = [&] {
    ++count;
    t->SetEnabled(false);
  };
  t->SetEnabled(true);
  p.Advance(100);
  EXPECT_EQ(count, 1);

  auto u = p.CreateTimer();
  u->SetInterval(10);
  u->OnTimer = [&] { ++count; };
  u->SetEnabled(true);
  u.reset();
  p.Advance(100);
  EXPECT_EQ(count, 1);
}

TEST(VirtualPlatform, RecordsMessagesAndEventProcessing) {
  VirtualPlatform p;
  int hook = 0;
  p.OnProcessEvents = [&] { ++hook; };
  p.ShowMessage("Операция прервана.", "Ошибка");
  p.ProcessPendingEvents();
  ASSERT_EQ(p.messages.size(), 1u);
  EXPECT_EQ(p.messages[0].text, "Операция прервана.");
  EXPECT_EQ(p.messages[0].caption, "Ошибка");
  EXPECT_EQ(p.processEventsCalls, 1);
  EXPECT_EQ(hook, 1);
}

TEST(VirtualPlatform, AdvanceUntilStopsWhenConditionHolds) {
  VirtualPlatform p;
  EXPECT_TRUE(p.AdvanceUntil([&] { return p.Virtual().Elapsed() >= 30; }, 100, 10));
  EXPECT_EQ(p.Virtual().Elapsed(), 30u);
  EXPECT_FALSE(p.AdvanceUntil([] { return false; }, 50, 10));
  EXPECT_EQ(p.Virtual().Elapsed(), 80u);
}

}  // namespace
}  // namespace fd::platform
