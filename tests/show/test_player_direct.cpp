// The show player in direct launch mode on the virtual bench: which frames go out when, and what
// the run log and the window's events see.
#include <gtest/gtest.h>

#include <ostream>
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

struct WireCase {
  const char* name;
  std::vector<std::pair<int, char>> consoles;  // registered: address and type letter
  std::vector<devices::CueRecord> cues;
  std::vector<Frame6> frames;      // fire, motion and high-voltage frames, in order
  std::vector<std::string> lines;  // the run log
  double exchangeMs = 6.0;         // what one cue holds the wire: a frame, or a frame and its reply
  friend void PrintTo(const WireCase& c, std::ostream* os) { *os << c.name; }
};

class PlayerWireTest : public ::testing::TestWithParam<WireCase> {};

// Every firing reaches its console at its cue's millisecond (the wake-up timer, not the 25 ms
// grid), later only by the frames ahead of it on the wire: the 2 ms pause and seven bytes at
// 19200 baud, about 5.6 ms a frame.
TEST_P(PlayerWireTest, DirectRunPutsTheseFramesOnTheWireAtTheirTimes) {
  const WireCase& c = GetParam();
  PlayerBench b;
  b.QuietEngine();
  for (const auto& [id, letter] : c.consoles) b.AddConsole(id, 0x165, letter);
  b.AddConsole(77, 0x165);  // on the bus but never registered
  for (const auto& [id, letter] : c.consoles) b.Register({id});
  b.Load(c.cues);
  b.player->Start(0);
  // The show clock starts at StartTick, after what Start itself exchanged (SetLevel).
  const uint64_t start = b.Now() - platform::TicksSince(b.player->StartTick, b.platform.GetClock().TickCount());
  ASSERT_TRUE(b.RunUntilStopped(20000));

  std::vector<Frame6> frames;
  for (const auto& f : b.sent)
    if (f[0] == 0x84 || f[0] == 0x8C || f[0] == 0x88) frames.push_back(f);
  EXPECT_EQ(frames, c.frames);
  EXPECT_EQ(b.FireLines(), c.lines);
  size_t cue = 0;
  for (const auto& entry : b.log.Entries()) {
    while (cue < c.cues.size() && c.cues[cue].Console != entry.console) ++cue;
    ASSERT_LT(cue, c.cues.size());
    int ahead = 0;
    for (size_t k = 0; k < cue; ++k) ahead += c.cues[k].TimeMs == c.cues[cue].TimeMs ? 1 : 0;
    const double late = entry.TimeMs() - static_cast<double>(start) - c.cues[cue].TimeMs;
    EXPECT_GE(late, 0.0) << sim::FireEntryText(entry);
    EXPECT_LT(late, c.exchangeMs * (ahead + 1)) << sim::FireEntryText(entry);
    ++cue;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlayerWireTest,
    ::testing::Values(
        WireCase{
            "CuesDueTogetherGoBackToBackInFileOrder",
            {{3, 'S'}, {5, 'S'}},
            {Channel(1000, 5, 2), Channel(1000, 3, 7), Channel(1000, 5, 1), Channel(4000, 3, 1)},
            {{0x84, 2, 0, 0x80, 0, 5}, {0x84, 7, 0, 0x80, 0, 3}, {0x84, 1, 0, 0x80, 0, 5}, {0x84, 1, 0, 0x80, 0, 3}},
            {FireLine(5, 2), FireLine(3, 7), FireLine(5, 1), FireLine(3, 1)}},
        WireCase{
            "IsolatedCuesOffTheTimerGrid",
            {{3, 'S'}},
            {Channel(37, 3, 1), Channel(1001, 3, 2), Channel(1013, 3, 3), Channel(2041, 3, 4)},
            {{0x84, 1, 0, 0x80, 0, 3}, {0x84, 2, 0, 0x80, 0, 3}, {0x84, 3, 0, 0x80, 0, 3}, {0x84, 4, 0, 0x80, 0, 3}},
            {FireLine(3, 1), FireLine(3, 2), FireLine(3, 3), FireLine(3, 4)}},
        // SetLevel 0 at the start, then each firing with the level of the next: 0, 0, and 1 for the
        // last queued cue; the stop sends the high-voltage stop.
        WireCase{"HighVoltageConsoleHearsTheLevelOfItsNextCue",
                 {{9, 'Q'}},
                 {Channel(1000, 9, 1), Channel(2000, 9, 2), Channel(3000, 9, 3)},
                 {{0x84, 0, 0, 0x80, 0x80, 9},
                  {0x84, 1, 0, 0x80, 0x00, 9},
                  {0x84, 2, 0, 0x80, 0x00, 9},
                  {0x84, 3, 0, 0x80, 0x01, 9},
                  {0x88, 1, 0, 1, 0, 9}},
                 {FireLine(9, 1), FireLine(9, 2), FireLine(9, 3)}},
        // Motion goes to motor consoles only; a channel cue of an unregistered console is logged.
        WireCase{"MotionToMotorConsolesOnlyAndUnregisteredConsolesOnlyLogged",
                 {{4, 'P'}, {3, 'S'}},
                 {Motion(100, 4, devices::MotionC, 30), Motion(100, 4, devices::MotionLT, 20, 7),
                  Motion(100, 3, devices::MotionL, 9), Motion(100, 77, devices::MotionR, 9), Channel(150, 77, 2),
                  Motion(200, 4, devices::MotionRT, 21, 8), Motion(300, 4, devices::MotionL, 10),
                  Motion(400, 4, devices::MotionR, 11)},
                 {{0x8C, 0x98, 30, 0, 0, 4},
                  {0x8C, 0x81, 7, 20, 0, 4},
                  {0x8C, 0x91, 8, 21, 0, 4},
                  {0x8C, 0x94, 10, 0, 0, 4},
                  {0x8C, 0x92, 11, 0, 0, 4}},
                 {FireLine(77, 2)},
                 12.0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PlayerDirect, RunFromZeroStopsHalfASecondAfterTheLastCueReportingEveryHundredMs) {
  PlayerBench b;
  b.QuietEngine();
  b.AddConsole(3, 0x165);
  b.Register({3});
  b.Load({Channel(0, 3, 1), Channel(1000, 3, 2), Channel(5000, 3, 3)});
  const uint64_t start = b.Now();
  b.player->Start(0);
  ASSERT_TRUE(b.RunUntilStopped(10000));

  EXPECT_EQ(b.log.Size(), 3u);
  ASSERT_EQ(b.stateChanges.size(), 2u);
  EXPECT_LT(b.stateChanges[0] - start, 8u);  // after the start announcement went out
  EXPECT_GE(b.stateChanges[1] - start, 5500u);
  EXPECT_LT(b.stateChanges[1] - start, 5530u);
  EXPECT_EQ(b.player->Clock, 5000);
  const uint8_t me = bus::InstanceNumber();
  EXPECT_EQ(b.SentWith(0x10), (std::vector<Frame6>{{0x10, 0, 0, me, 0, 0xFF}}));
  // The stop carries the clock of the pass that sent the last cue.
  EXPECT_EQ(b.SentWith(0x90), (std::vector<Frame6>{{0x90, 0, 50, 0, 0, 0}}));
  EXPECT_EQ(b.SentWith(0x11), (std::vector<Frame6>{{0x11, 0, 50, me, 0, 0xFF}}));
  EXPECT_EQ(b.emergencies, 0);
  ASSERT_GE(b.progress.size(), 45u);
  for (size_t i = 1; i + 1 < b.progress.size(); ++i) EXPECT_GE(b.progress[i].at - b.progress[i - 1].at, 100u) << i;
  // The final clock is reported right after the stop, however recent the report before.
  EXPECT_EQ(b.progress.back().clock, 5000);
}

// Every stop, the operator's and one heard from the bus, goes out as the stop broadcast, then the
// announcement, then a stop to each high-voltage console in the registry's order.
TEST(PlayerDirect, AStopTellsEachHighVoltageConsoleInRegistryOrderAfterTheBroadcasts) {
  for (const bool heard : {false, true}) {
    SCOPED_TRACE(heard ? "stop heard on the bus" : "the operator's stop");
    PlayerBench b;
    b.QuietEngine();
    for (int id : {12, 3, 7}) b.AddConsole(id, 0x268, 'Q', 8);
    b.AddConsole(5, 0x165);
    b.Register({12, 3, 5, 7});
    b.Load({Channel(60000, 3, 1)});
    b.player->Start(0);
    b.Advance(200);
    const size_t mark = b.sent.size();
    if (heard)
      b.player->HandleBusMessage(bus::Frame6{0x90, 0, 2, 0, 0, 0});
    else
      b.player->Stop(true);
    ASSERT_FALSE(b.player->IsPlaying());
    std::vector<uint8_t> order;
    for (size_t i = mark; i < b.sent.size(); ++i) order.push_back(b.sent[i][0] == 0x88 ? b.sent[i][5] : b.sent[i][0]);
    std::vector<uint8_t> expected{0x90, 0x11};
    for (int i = 0; i < b.controls->Count(); ++i)
      if (b.controls->Items(i)->ID != 5) expected.push_back(static_cast<uint8_t>(b.controls->Items(i)->ID));
    EXPECT_EQ(order, expected);
    EXPECT_EQ(b.emergencies, heard ? 1 : 0);
  }
}

// F5 again after the show ended starts where it ended: its last cues do not fire again, and the
// first tick finds nothing due: the end's half second begins at once.
TEST(PlayerDirect, AStartAfterTheEndFiresNothingAndEndsOnTheFirstTick) {
  PlayerBench b;
  b.QuietEngine();
  b.AddConsole(3, 0x165);
  b.Register({3});
  b.Load({Channel(0, 3, 1), Channel(400, 3, 2), Channel(400, 3, 3)});
  b.player->Start(0);
  ASSERT_TRUE(b.RunUntilStopped(3000));
  ASSERT_EQ(b.log.Size(), 3u);
  EXPECT_EQ(b.player->Clock, 400);
  const uint64_t again = b.Now();
  b.player->Start(b.player->Clock);
  ASSERT_TRUE(b.RunUntilStopped(3000));
  EXPECT_EQ(b.log.Size(), 3u) << "nothing fired twice";
  EXPECT_GE(b.Now() - again, 500u);
  EXPECT_LE(b.Now() - again, 560u);
}

TEST(PlayerDirect, IdleOnlyWhileTheNextCueIsMoreThanASecondAwayAndAtMostOnceASecond) {
  PlayerBench b;
  b.QuietEngine();
  b.AddConsole(3, 0x165);
  b.Register({3});
  b.Load({Channel(0, 3, 1), Channel(300, 3, 2), Channel(3000, 3, 3), Channel(4800, 3, 4)});
  const uint64_t start = b.Now();
  b.player->Start(0);
  ASSERT_TRUE(b.RunUntilStopped(8000));
  // At 1 s (the next cue 2 s away) and right after the cue at 3 s (the next 1.8 s away); at 2 s
  // and from 4 s on the next cue is no more than 1 s away.
  ASSERT_EQ(b.idles.size(), 2u);
  EXPECT_EQ(b.idles[0], start + 1000);
  EXPECT_GE(b.idles[1], start + 3000);
  EXPECT_LT(b.idles[1], start + 3010);
}

struct ResumeCase {
  const char* name;
  char letter;
  std::vector<devices::CueRecord> cues;
  int windowNextCue;  // -1: the window leaves Clock and NextCue alone, else Enter on this row
  std::vector<Frame6> framesAfterResume;
  friend void PrintTo(const ResumeCase& c, std::ostream* os) { *os << c.name; }
};

class PlayerResumeTest : public ::testing::TestWithParam<ResumeCase> {};

TEST_P(PlayerResumeTest, StartAtTheClockAfterAStopAt3200) {
  const ResumeCase& c = GetParam();
  PlayerBench b;
  b.QuietEngine();
  b.AddConsole(3, 0x165, c.letter);
  b.Register({3});
  b.Load(c.cues);
  b.player->Start(0);
  b.Advance(3200);
  b.player->Stop(true);
  ASSERT_EQ(b.player->Clock, 3200);
  if (c.windowNextCue >= 0) {
    b.player->Clock = c.cues[static_cast<size_t>(c.windowNextCue)].TimeMs;
    b.player->NextCue = c.windowNextCue;
  }
  const size_t mark = b.sent.size();
  b.player->Start(b.player->Clock);
  ASSERT_TRUE(b.RunUntilStopped(10000));
  EXPECT_EQ(b.SentWith(0x84, mark), c.framesAfterResume);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlayerResumeTest,
    ::testing::Values(ResumeCase{"FirstCueAtOrAfterTheClock",
                                 'S',
                                 {Channel(1000, 3, 1), Channel(3000, 3, 2), Channel(3300, 3, 3), Channel(4000, 3, 4)},
                                 -1,
                                 {{0x84, 3, 0, 0x80, 0, 3}, {0x84, 4, 0, 0x80, 0, 3}}},
                      // The cues at the stop's own millisecond went out before it: not again...
                      ResumeCase{"CuesSentAtTheStopMillisecondNotAgain",
                                 'S',
                                 {Channel(1000, 3, 1), Channel(3200, 3, 2), Channel(3200, 3, 3), Channel(4000, 3, 4)},
                                 -1,
                                 {{0x84, 4, 0, 0x80, 0, 3}}},
                      // ... unless the operator picks one of them again.
                      ResumeCase{"OperatorPicksTheCueAt3200Again",
                                 'S',
                                 {Channel(1000, 3, 1), Channel(3200, 3, 2), Channel(3200, 3, 3), Channel(4000, 3, 4)},
                                 1,
                                 {{0x84, 2, 0, 0x80, 0, 3}, {0x84, 3, 0, 0x80, 0, 3}, {0x84, 4, 0, 0x80, 0, 3}}},
                      // A high-voltage console queues only what is still to come: SetLevel, then the last cue.
                      ResumeCase{"HighVoltageQueueHoldsOnlyTheCuesToCome",
                                 'Q',
                                 {Channel(1000, 3, 1), Channel(3200, 3, 2), Channel(3200, 3, 3), Channel(4000, 3, 4)},
                                 -1,
                                 {{0x84, 0, 0, 0x80, 0x80, 3}, {0x84, 4, 0, 0x80, 0x01, 3}}}),
    [](const auto& info) { return std::string(info.param.name); });

// The queue holds one level per table entry; a cue outside the table is never sent and so takes
// no place in it, and the console keeps hearing the level of the channel it really fires next.
TEST(PlayerDirect, LevelQueueStaysWithinItsTable) {
  PlayerBench b;
  b.QuietEngine();
  b.AddConsole(9, 0x165, 'Q');
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
  ASSERT_EQ(frames.size(), 523u);                             // SetLevel, then every cue but channel 601
  EXPECT_EQ(frames[0], (Frame6{0x84, 0, 0, 0x80, 0x80, 9}));  // channel 2 first, at level 0
  EXPECT_EQ(frames[1], (Frame6{0x84, 2, 0, 0x80, 0x05, 9}));  // next: channel 1 at level 5
  EXPECT_EQ(frames[2], (Frame6{0x84, 1, 0, 0x80, 0x00, 9}));
  EXPECT_EQ(frames[511][4], 0x00);
  for (size_t i = 512; i < frames.size(); ++i) EXPECT_EQ(frames[i][4], 0x01) << i;
  const auto lines = b.FireLines();
  ASSERT_EQ(lines.size(), 523u);
  EXPECT_EQ(lines[1], FireLine(9, 601));
}

}  // namespace
}  // namespace fd::show
