// Autonomous launch from anywhere in the show: the consoles start on a whole tenth of a second,
// nothing they played fires again, and what they cannot play is named before the start.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <ostream>
#include <vector>

#include "player_bench.h"
#include "show/preflight_checks.h"

namespace fd::show {
namespace {

using testing::PlayerBench;
using testing_cues::Channel;

// Channel n of console 3 fires at the n-th time.
const std::vector<int32_t> kTimes = {12340, 12380, 12395, 12420, 12800};

struct AutonomousBench : PlayerBench {
  AutonomousBench() {
    AddConsole(3, 0x165);
    Register({3});
    std::vector<devices::CueRecord> cues;
    for (size_t i = 0; i < kTimes.size(); ++i) cues.push_back(Channel(kTimes[i], 3, static_cast<int>(i) + 1));
    Load(cues);
    EXPECT_EQ(controls->WriteScenario(list.Cues()), bus::kBusOk);
    log.Clear();
    player->LaunchMode = lmAutonomous;
  }
  // How often each channel fired.
  std::map<int, int> Fired() const {
    std::map<int, int> out;
    for (const auto& e : log.Entries()) ++out[e.channel];
    return out;
  }
  std::vector<bus::Frame6> Runs(size_t from) const {
    std::vector<bus::Frame6> out;
    for (size_t i = from; i < sent.size(); ++i)
      if (sent[i][0] == 0x90 && sent[i][3] == 0x80) out.push_back(sent[i]);
    return out;
  }
};

int Tenths(const bus::Frame6& run) { return run[1] * 256 + run[2]; }

TEST(PlayerAutonomousStart, OffATenthTheFirstRunWaitsForTheNextTenthAndNamesWhatItLeavesOut) {
  AutonomousBench b;
  // Enter on the cue at 12.380 s.
  b.player->Clock = 12380;
  b.player->NextCue = 1;
  EXPECT_EQ(b.player->FirstRunTime(12380), 12400);
  EXPECT_EQ(b.player->CuesBeforeFirstRun(12380), (std::vector<int32_t>{1, 2}));
  // What the pre-flight dialog before F5 (and rehearse) shows of them.
  const PreflightResult named = CheckCuesBeforeFirstRun(b.list.Cues(), b.player->CuesBeforeFirstRun(12380));
  EXPECT_EQ(named.Heading, "Команды до первой синхронизации не будут выполнены пультами...");
  EXPECT_EQ(named.MemoText(), "0:00:12.380  пульт 3, канал 2\n0:00:12.395  пульт 3, канал 3");
  const size_t mark = b.sent.size();
  b.player->Start(12380);
  const uint64_t start = b.Now();
  EXPECT_TRUE(b.Runs(mark).empty()) << "no run broadcast before its tenth";
  ASSERT_TRUE(b.RunUntilStopped(3000));
  const auto runs = b.Runs(mark);
  ASSERT_FALSE(runs.empty());
  EXPECT_EQ(Tenths(runs[0]), 124);
  size_t firstRun = mark;
  while (!(b.sent[firstRun][0] == 0x90 && b.sent[firstRun][3] == 0x80)) ++firstRun;
  // Taken when the frame has left (6 ms), give or take an engine pass on the test's one thread.
  EXPECT_GE(b.sentAt[firstRun] - start, 20u);
  EXPECT_LE(b.sentAt[firstRun] - start, 35u);
  // Only what lies at or after 12.400 fires, each once; the cue at 12.340 never.
  EXPECT_EQ(b.Fired(), (std::map<int, int>{{4, 1}, {5, 1}}));
}

// Stopped at about 12.39 s and started again where it stopped, then once more after the end: every
// channel fires at most once, and each cue from the first start on either fired or was named.
TEST(PlayerAutonomousStart, ResumingAfterAStopOrTheEndFiresNothingTwice) {
  AutonomousBench b;
  b.player->Clock = 12300;
  b.player->NextCue = 0;
  b.player->Start(12300);
  auto showTime = [&] {
    return ShowTimeAt(b.player->StartPosition, b.player->StartTick, b.platform.GetClock().TickCount());
  };
  ASSERT_TRUE(b.platform.AdvanceUntil([&] { return showTime() >= 12385; }, 1000));
  b.player->Stop(true);
  const int32_t stoppedAt = b.player->Clock;
  ASSERT_GE(stoppedAt, 12350);
  ASSERT_LT(stoppedAt, 12400);
  b.Advance(200);

  const std::vector<int32_t> named = b.player->CuesBeforeFirstRun(b.player->Clock);
  b.player->Start(b.player->Clock);
  ASSERT_TRUE(b.RunUntilStopped(3000));
  std::map<int, int> fired = b.Fired();
  for (const auto& [channel, times] : fired) EXPECT_EQ(times, 1) << "channel " << channel;
  for (size_t i = 0; i < kTimes.size(); ++i) {
    const bool wasNamed = std::find(named.begin(), named.end(), static_cast<int32_t>(i)) != named.end();
    EXPECT_NE(fired.count(static_cast<int>(i) + 1) == 1, wasNamed) << "cue " << i;
  }

  // F5 after the end: the clock stands at the last cue, and the consoles start past it.
  EXPECT_EQ(b.player->Clock, 12800);
  EXPECT_TRUE(b.player->CuesBeforeFirstRun(b.player->Clock).empty());
  b.player->Start(b.player->Clock);
  ASSERT_TRUE(b.RunUntilStopped(3000));
  EXPECT_EQ(b.Fired(), fired);
}

// F2 loads another file at the same position: none of its cues counts as played at the old stop.
TEST(PlayerAutonomousStart, AnotherScenarioForgetsWhereTheLastOneStopped) {
  AutonomousBench b;
  b.player->Start(0);
  b.player->Stop(true);  // at once: before the first cue of the old file
  const int32_t at = b.player->Clock;
  ASSERT_LT(at, 100);
  ASSERT_EQ(b.player->NextCue, 0);
  b.Load({Channel(at, 3, 1), Channel(50, 3, 2)});
  // As if the consoles had played the new file's cue at the stop's millisecond: it would be left
  // out without a word.
  ASSERT_EQ(b.player->CuesBeforeFirstRun(at), (std::vector<int32_t>{1}));
  b.player->ForgetStopPoint();
  EXPECT_EQ(b.player->CuesBeforeFirstRun(at), (std::vector<int32_t>{0, 1}));
}

}  // namespace
}  // namespace fd::show
