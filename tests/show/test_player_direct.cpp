// The show player in direct launch mode on the virtual bench: which frames go out when, and what
// the run log and the window's events see.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devices/hv_control.h"
#include "player_bench.h"

namespace fd::show {
namespace {

using bus::Frame6;
using testing::FireLine;
using testing::PlayerBench;
using testing_cues::Channel;
using testing_cues::Motion;

std::vector<std::string> FireLines(const PlayerBench& b) {
  std::vector<std::string> out;
  for (const auto& line : b.logLines)
    if (line.rfind("Запуск", 0) == 0) out.push_back(line);
  return out;
}

// How late each firing reached its console against the cue time, in bench milliseconds.
double LatenessMs(const sim::FireEntry& entry, uint64_t startMs, int32_t cueMs) {
  return entry.TimeMs() - static_cast<double>(startMs + static_cast<uint64_t>(cueMs));
}

class PlayerDirectTest : public ::testing::Test {
 protected:
  void SetUp() override { b.QuietEngine(); }
  PlayerBench b;
};

TEST_F(PlayerDirectTest, CuesDueTogetherGoOutBackToBackInFileOrderEachLogged) {
  b.AddConsole(3, 0x165);
  b.AddConsole(5, 0x165);
  b.Register({3, 5});
  b.Load({Channel(1000, 5, 2), Channel(1000, 3, 7), Channel(1000, 5, 1), Channel(4000, 3, 1)});
  const uint64_t start = b.Now();
  b.player->Start(0);
  b.Advance(1100);

  EXPECT_EQ(b.SentWith(0x84),
            (std::vector<Frame6>{{0x84, 2, 0, 0x80, 0, 5}, {0x84, 7, 0, 0x80, 0, 3}, {0x84, 1, 0, 0x80, 0, 5}}));
  const auto fired = b.log.Entries();
  ASSERT_EQ(fired.size(), 3u);
  // One pass sends all three: nothing waits for a later tick.
  EXPECT_GE(LatenessMs(fired[0], start, 1000), 0.0);
  for (size_t i = 0; i < fired.size(); ++i)
    EXPECT_LT(LatenessMs(fired[i], start, 1000), 6.0 * static_cast<double>(i + 1)) << sim::FireEntryText(fired[i]);
  EXPECT_EQ(FireLines(b), (std::vector<std::string>{FireLine(5, 2), FireLine(3, 7), FireLine(5, 1)}));
  EXPECT_EQ(b.player->NextCue, 3);
}

TEST_F(PlayerDirectTest, RunFromZeroStopsHalfASecondAfterTheLastCue) {
  b.AddConsole(3, 0x165);
  b.Register({3});
  b.Load({Channel(0, 3, 1), Channel(1000, 3, 2), Channel(5000, 3, 3)});
  const uint64_t start = b.Now();
  b.player->Start(0);
  ASSERT_TRUE(b.RunUntilStopped(10000));

  const auto fired = b.log.Entries();
  ASSERT_EQ(fired.size(), 3u);
  // The cue at 0 follows the start announcement on the wire; the others go at their millisecond.
  const int32_t due[] = {0, 1000, 5000};
  const double slack[] = {14.0, 8.0, 8.0};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_GE(LatenessMs(fired[i], start, due[i]), 0.0);
    EXPECT_LT(LatenessMs(fired[i], start, due[i]), slack[i]) << i;
  }
  ASSERT_EQ(b.stateChanges.size(), 2u);
  EXPECT_LT(b.stateChanges[0] - start, 8u);
  EXPECT_GE(b.stateChanges[1], start + 5500);
  EXPECT_LT(b.stateChanges[1], start + 5530);
  EXPECT_EQ(b.player->Clock, 5000);
  const uint8_t me = bus::InstanceNumber();
  EXPECT_EQ(b.SentWith(0x10), (std::vector<Frame6>{{0x10, 0, 0, me, 0, 0xFF}}));
  // The stop carries the clock of the pass that sent the last cue.
  EXPECT_EQ(b.SentWith(0x90), (std::vector<Frame6>{{0x90, 0, 50, 0, 0, 0}}));
  EXPECT_EQ(b.SentWith(0x11), (std::vector<Frame6>{{0x11, 0, 50, me, 0, 0xFF}}));
  EXPECT_EQ(b.emergencies, 0);
  // After the stop the final clock is reported although the previous report is recent.
  ASSERT_FALSE(b.progress.empty());
  EXPECT_EQ(b.progress.back().clock, 5000);
}

// Isolated cues go out at their own millisecond, not on the next 25 ms tick of the show timer.
TEST_F(PlayerDirectTest, IsolatedCueGoesOutAtItsDueMillisecond) {
  b.AddConsole(3, 0x165);
  b.Register({3});
  const std::vector<int32_t> due = {37, 1001, 1013, 2024, 2041, 9999};
  std::vector<devices::CueRecord> cues;
  for (size_t i = 0; i < due.size(); ++i) cues.push_back(Channel(due[i], 3, static_cast<int>(i) + 1));
  b.Load(cues);
  const uint64_t start = b.Now();
  b.player->Start(0);
  ASSERT_TRUE(b.RunUntilStopped(11000));

  const auto fired = b.log.Entries();
  ASSERT_EQ(fired.size(), due.size());
  // The 2 ms pause before a write and seven bytes at 19200 baud: about 5.6 ms on the wire.
  for (size_t i = 0; i < due.size(); ++i) {
    EXPECT_EQ(fired[i].channel, static_cast<int>(i) + 1);
    EXPECT_GE(LatenessMs(fired[i], start, due[i]), 0.0) << due[i];
    EXPECT_LT(LatenessMs(fired[i], start, due[i]), 7.0) << due[i];
  }
}

struct ResumeCase {
  const char* name;
  std::vector<devices::CueRecord> cues;
  uint64_t stopAfterMs;
  int windowNextCue;  // -1: the window leaves Clock and NextCue alone, else Enter on this row
  std::vector<int> channelsAfterResume;
};

class PlayerResumeTest : public ::testing::TestWithParam<ResumeCase> {};

TEST_P(PlayerResumeTest, StartAtTheClockResumesWithTheFirstCueAtOrAfterIt) {
  const ResumeCase& c = GetParam();
  PlayerBench b;
  b.QuietEngine();
  b.AddConsole(3, 0x165);
  b.Register({3});
  b.Load(c.cues);
  b.player->Start(0);
  b.Advance(c.stopAfterMs);
  b.player->Stop(true);
  EXPECT_EQ(b.player->Clock, static_cast<int32_t>(c.stopAfterMs));
  if (c.windowNextCue >= 0) {
    b.player->Clock = c.cues[static_cast<size_t>(c.windowNextCue)].TimeMs;
    b.player->NextCue = c.windowNextCue;
  }
  const size_t before = b.log.Size();
  b.player->Start(b.player->Clock);
  ASSERT_TRUE(b.RunUntilStopped(10000));

  std::vector<int> after;
  const auto fired = b.log.Entries();
  for (size_t i = before; i < fired.size(); ++i) after.push_back(fired[i].channel);
  EXPECT_EQ(after, c.channelsAfterResume);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlayerResumeTest,
    ::testing::Values(ResumeCase{"StoppedAt3200",
                                 {Channel(1000, 3, 1), Channel(3000, 3, 2), Channel(3300, 3, 3), Channel(4000, 3, 4)},
                                 3200,
                                 -1,
                                 {3, 4}},
                      // The cues at the stop's own millisecond went out before it: they are not sent again.
                      ResumeCase{"StoppedRightAfterCuesAt3200",
                                 {Channel(1000, 3, 1), Channel(3200, 3, 2), Channel(3200, 3, 3), Channel(4000, 3, 4)},
                                 3200,
                                 -1,
                                 {4}},
                      // ... unless the operator picks one of them again.
                      ResumeCase{"OperatorPicksTheCueAt3200Again",
                                 {Channel(1000, 3, 1), Channel(3200, 3, 2), Channel(3200, 3, 3), Channel(4000, 3, 4)},
                                 3200,
                                 1,
                                 {2, 3, 4}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlayerDirectTest, HighVoltageConsoleIsToldTheLevelOfItsNextCue) {
  sim::ConsoleConfig config;
  config.address = 9;
  config.typeLetter = 'Q';
  auto& console = b.AddConsole(config);
  b.Register({9});
  b.Load({Channel(1000, 9, 1), Channel(2000, 9, 2), Channel(3000, 9, 3)});
  b.player->Start(0);
  // SetLevel 0 with the reply bit, then each firing with the level of the next: 0, 0, and 1 after
  // the last queued cue.
  EXPECT_EQ(b.SentWith(0x84), (std::vector<Frame6>{{0x84, 0, 0, 0x80, 0x80, 9}}));
  ASSERT_TRUE(b.RunUntilStopped(5000));
  EXPECT_EQ(b.SentWith(0x84), (std::vector<Frame6>{{0x84, 0, 0, 0x80, 0x80, 9},
                                                   {0x84, 1, 0, 0x80, 0x00, 9},
                                                   {0x84, 2, 0, 0x80, 0x00, 9},
                                                   {0x84, 3, 0, 0x80, 0x01, 9}}));
  EXPECT_EQ(console.LevelSetCount(), 1);
  EXPECT_EQ(b.SentWith(0x88), (std::vector<Frame6>{{0x88, 1, 0, 1, 0, 9}}));
  EXPECT_EQ(console.HVStopCount(), 1);
}

TEST_F(PlayerDirectTest, ResumedHighVoltageConsoleQueuesOnlyTheCuesStillToCome) {
  sim::ConsoleConfig config;
  config.address = 9;
  config.typeLetter = 'Q';
  b.AddConsole(config);
  b.Register({9});
  b.Load({Channel(1000, 9, 1), Channel(2000, 9, 2), Channel(2000, 9, 3), Channel(3000, 9, 4)});
  b.player->Start(0);
  b.Advance(2000);
  b.player->Stop(true);
  const size_t mark = b.sent.size();
  b.player->Start(b.player->Clock);
  ASSERT_TRUE(b.RunUntilStopped(3000));
  // Only the cue at 3 s is left: its level first, then it fires as the console's last queued cue.
  EXPECT_EQ(b.SentWith(0x84, mark), (std::vector<Frame6>{{0x84, 0, 0, 0x80, 0x80, 9}, {0x84, 4, 0, 0x80, 0x01, 9}}));
}

// The queue holds one level per table entry; a cue outside the table is never sent and so takes
// no place in it, and the console keeps hearing the level of the channel it really fires next.
TEST_F(PlayerDirectTest, LevelQueueStaysWithinItsTable) {
  sim::ConsoleConfig config;
  config.address = 9;
  config.typeLetter = 'Q';
  b.AddConsole(config);
  b.Register({9});
  auto* hv = dynamic_cast<devices::THVControl*>(b.controls->FindByID(9));
  ASSERT_NE(hv, nullptr);
  hv->SetChannelLevel(0, 5);
  std::vector<devices::CueRecord> cues = {Channel(100, 9, 2), Channel(110, 9, 601), Channel(120, 9, 1)};
  for (int i = 0; i < 520; ++i) cues.push_back(Channel(200 + 10 * i, 9, 2));
  b.Load(cues);
  b.player->Start(0);
  EXPECT_EQ(hv->LevelQueueCount, 512);
  ASSERT_TRUE(b.RunUntilStopped(10000));

  const auto frames = b.SentWith(0x84);
  ASSERT_EQ(frames.size(), 523u);                             // SetLevel, then every cue but the one on channel 601
  EXPECT_EQ(frames[0], (Frame6{0x84, 0, 0, 0x80, 0x80, 9}));  // channel 2 first, at level 0
  EXPECT_EQ(frames[1], (Frame6{0x84, 2, 0, 0x80, 0x05, 9}));  // next: channel 1 at level 5
  EXPECT_EQ(frames[2], (Frame6{0x84, 1, 0, 0x80, 0x00, 9}));
  EXPECT_EQ(frames[511][4], 0x00);
  for (size_t i = 512; i < frames.size(); ++i) EXPECT_EQ(frames[i][4], 0x01) << i;
  const auto lines = FireLines(b);
  ASSERT_EQ(lines.size(), 523u);
  EXPECT_EQ(lines[1], FireLine(9, 601));
}

TEST_F(PlayerDirectTest, MotionCuesGoToMotorConsolesOnly) {
  b.AddConsole(4, 0x165, 'P');
  b.AddConsole(3, 0x165);
  b.Register({3, 4});
  b.Load({Motion(100, 4, devices::MotionC, 30), Motion(100, 4, devices::MotionLT, 20, 7),
          Motion(100, 4, devices::MotionRT, 21, 8), Motion(100, 3, devices::MotionL, 9),
          Motion(100, 77, devices::MotionR, 9), Motion(200, 4, devices::MotionL, 10),
          Motion(200, 4, devices::MotionR, 11)});
  b.player->Start(0);
  ASSERT_TRUE(b.RunUntilStopped(2000));
  EXPECT_EQ(b.SentWith(0x8C), (std::vector<Frame6>{{0x8C, 0x98, 30, 0, 0, 4},
                                                   {0x8C, 0x81, 7, 20, 0, 4},
                                                   {0x8C, 0x91, 8, 21, 0, 4},
                                                   {0x8C, 0x94, 10, 0, 0, 4},
                                                   {0x8C, 0x92, 11, 0, 0, 4}}));
  EXPECT_TRUE(FireLines(b).empty());
}

TEST_F(PlayerDirectTest, ChannelCueOfAnUnregisteredConsoleIsLoggedButNotSent) {
  b.AddConsole(3, 0x165);
  b.Load({Channel(100, 3, 4)});
  b.player->Start(0);
  ASSERT_TRUE(b.RunUntilStopped(2000));
  EXPECT_TRUE(b.SentWith(0x84).empty());
  EXPECT_EQ(FireLines(b), (std::vector<std::string>{FireLine(3, 4)}));
}

TEST_F(PlayerDirectTest, ProgressEveryHundredMillisecondsAndIdleOnlyInLongGaps) {
  b.AddConsole(3, 0x165);
  b.Register({3});
  b.Load({Channel(0, 3, 1), Channel(300, 3, 2), Channel(3000, 3, 3), Channel(4800, 3, 4)});
  const uint64_t start = b.Now();
  b.player->Start(0);
  ASSERT_TRUE(b.RunUntilStopped(8000));

  ASSERT_GE(b.progress.size(), 45u);
  for (size_t i = 1; i + 1 < b.progress.size(); ++i) EXPECT_GE(b.progress[i].at - b.progress[i - 1].at, 100u) << i;
  EXPECT_EQ(b.progress.back().clock, 4800);
  // Idle at 1 s (the next cue 2 s away) and right after the cue at 3 s (the next 1.8 s away); at
  // 2 s and from 4 s on the next cue is no more than 1 s away.
  ASSERT_EQ(b.idles.size(), 2u);
  EXPECT_EQ(b.idles[0], start + 1000);
  EXPECT_GE(b.idles[1], start + 3000);
  EXPECT_LT(b.idles[1], start + 3010);
}

}  // namespace
}  // namespace fd::show
