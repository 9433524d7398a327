// The checks before a write or verify, and the used-channel marks, against a registry on the bench.
#include <gtest/gtest.h>

#include <numeric>

#include "devices/bench_fixture.h"
#include "devices/channel_test_rule.h"
#include "devices/common_control.h"
#include "platform/virtual_platform.h"
#include "scenario_files.h"
#include "show/preflight_checks.h"
#include "show/project_list.h"

namespace fd::show {
namespace {

using devices::CueRecord;
using devices::testing::BusBench;

CueRecord Cue(int32_t time, int32_t console, int32_t channel = 0, int32_t kind = devices::ChannelCue) {
  CueRecord cue;
  cue.TimeMs = time;
  cue.Console = console;
  cue.Channel = channel;
  cue.CueKind = kind;
  return cue;
}

class PreflightTest : public ::testing::Test {
 protected:
  void Register(std::initializer_list<int> ids) {
    for (int id : ids) ASSERT_NE(bench.controls->Register(id, 0), nullptr) << id;
  }
  BusBench bench;
};

TEST_F(PreflightTest, UnconnectedConsolesAreListedOnceEach) {
  bench.AddConsole(7, 0x165);
  Register({7});
  PreflightResult r = CheckUnconnected({Cue(1000, 3), Cue(2000, 3), Cue(3000, 7)}, *bench.controls);
  EXPECT_FALSE(r.Passed);
  EXPECT_EQ(r.Numbers, (std::vector<int>{3}));
  EXPECT_EQ(r.MemoText(), "3");
  EXPECT_EQ(r.Heading, "В сценарии обнаружены неподключенные пульты...");
}

TEST_F(PreflightTest, NumbersOutsideTheTableAreCountedTooInAscendingOrder) {
  bench.AddConsole(7, 0x165);
  bench.AddRadio(240);
  Register({7, 240});
  PreflightResult r = CheckUnconnected(
      {Cue(1, 300), Cue(1, 7), Cue(1, 240), Cue(1, -5), Cue(1, 0), Cue(1, 199), Cue(1, 300), Cue(1, INT32_MIN)},
      *bench.controls);
  EXPECT_FALSE(r.Passed);
  EXPECT_EQ(r.Numbers, (std::vector<int>{INT32_MIN, -5, 0, 199, 300}));
  EXPECT_EQ(r.MemoText(), "-2147483648, -5, 0, 199, 300");
}

TEST_F(PreflightTest, EverythingConnectedPasses) {
  bench.AddConsole(3, 0x165);
  bench.AddConsole(7, 0x165);
  Register({3, 7});
  PreflightResult r = CheckUnconnected({Cue(1, 3), Cue(2, 7), Cue(3, 3)}, *bench.controls);
  EXPECT_TRUE(r.Passed);
  EXPECT_TRUE(r.Numbers.empty());
  EXPECT_EQ(r.Heading, "");
  EXPECT_EQ(r.MemoText(), "");
  EXPECT_TRUE(CheckUnconnected({}, *bench.controls).Passed);
}

TEST_F(PreflightTest, TimeGoingBackwardsCountsOnlyForConsolesBelow148) {
  bench.AddConsole(4, 0x147);
  Register({4});
  std::vector<CueRecord> cues = {Cue(5000, 4), Cue(3000, 4)};
  PreflightResult r = CheckScenarioTimes(cues, *bench.controls);
  EXPECT_FALSE(r.Passed);
  EXPECT_EQ(r.Numbers, (std::vector<int>{4}));
  EXPECT_EQ(r.Heading, "Сценарий может быть воспроизведен некорректно...");

  BusBench newer;
  newer.AddConsole(4, 0x148);
  ASSERT_NE(newer.controls->Register(4, 0), nullptr);
  EXPECT_TRUE(CheckScenarioTimes(cues, *newer.controls).Passed);
}

TEST_F(PreflightTest, TimeZeroFailsForAnyRegisteredDevice) {
  bench.AddConsole(4, 0x165);
  bench.AddConsole(5, 0x165);
  bench.AddRadio(241);
  bench.AddRemote();
  Register({4, 5, 241, 0});
  PreflightResult r =
      CheckScenarioTimes({Cue(0, 4), Cue(1, 5), Cue(-20, 241), Cue(0, 0), Cue(0, 9), Cue(5, 5)}, *bench.controls);
  EXPECT_EQ(r.Numbers, (std::vector<int>{0, 4, 241})) << "1 ms is fine; unregistered 9 is not this check's business";
  EXPECT_EQ(r.MemoText(), "0, 4, 241");

  // An earlier time is only a problem for old consoles: not for the remote control or radios.
  EXPECT_TRUE(CheckScenarioTimes({Cue(900, 0), Cue(800, 0), Cue(900, 241), Cue(10, 241)}, *bench.controls).Passed);
  // Equal times are not going backwards.
  BusBench old;
  old.AddConsole(4, 0x100);
  ASSERT_NE(old.controls->Register(4, 0), nullptr);
  EXPECT_TRUE(CheckScenarioTimes({Cue(900, 4), Cue(900, 4, 1)}, *old.controls).Passed);
  EXPECT_FALSE(CheckScenarioTimes({Cue(900, 4), Cue(1200, 4), Cue(1000, 4)}, *old.controls).Passed)
      << "compared with the latest accepted time, not the first";
}

// Lines the operator reads before writing: cues whose channel will not fire as the file reads.
TEST_F(PreflightTest, ChannelUseNamesTheCuesThatWillNotFireAsWritten) {
  bench.AddConsole(3, 0x165, 'S', 16);
  bench.AddConsole(5, 0x165, 'P', 16);
  Register({3, 5});
  auto* three = dynamic_cast<devices::TCommonControl*>(bench.controls->FindByID(3));
  ASSERT_TRUE(three);
  three->ChannelCount = 16;
  ASSERT_TRUE(three->SetChannelState(3, devices::kChannelOpen));  // channel 4 found not connected
  ASSERT_TRUE(three->SetChannelState(4, devices::kChannelError));
  const struct {
    CueRecord cue;
    const char* line;  // nullptr: nothing to say
  } cases[] = {
      {Cue(1000, 3, -1),
       "строка 0: 0:00:01.000  пульт 3, канал 0 вне 1..512: сохраняется, но в прямом режиме не срабатывает"},
      {Cue(1000, 50, 600), "строка 0: 0:00:01.000  пульт 50, канал 601 вне 1..512"},
      {Cue(2000, 3, 16), "строка 0: 0:00:02.000  пульт 3, канал 17 больше числа каналов пульта (16)"},
      {Cue(3000, 3, 3), "строка 0: 0:00:03.000  пульт 3, канал 4 не подключен при последнем тесте"},
      {Cue(3000, 3, 4), nullptr},                      // a fault in the test is not "not connected"
      {Cue(3000, 3, 15), nullptr},                     // the last channel
      {Cue(3000, 5, 40), nullptr},                     // a motor console has no firing channels
      {Cue(3000, 50, 40), nullptr},                    // not registered: the unconnected check says so
      {Cue(3000, 3, 700, devices::MotionC), nullptr},  // a motion cue has no channel
  };
  for (const auto& c : cases) {
    const PreflightResult r = CheckChannelUse({c.cue}, *bench.controls);
    EXPECT_EQ(r.Passed, c.line == nullptr) << c.cue.Console << " " << c.cue.Channel;
    EXPECT_EQ(r.MemoText(), c.line ? c.line : "");
    EXPECT_EQ(r.Heading, c.line ? kScenarioTimesHeading : "");
  }
  // A long list keeps its first hundred lines and says how many more.
  std::vector<CueRecord> many(150, Cue(1000, 3, -1));
  const PreflightResult r = CheckChannelUse(many, *bench.controls);
  ASSERT_EQ(r.Lines.size(), 101u);
  EXPECT_EQ(r.Lines.back(), "... и ещё 50");
  EXPECT_EQ(r.Numbers, std::vector<int>{3});
}

TEST_F(PreflightTest, MarkUsedChannelsClearsAndMarksOnlyWhatATableHolds) {
  bench.AddConsole(3, 0x165, 'S', 16);
  bench.AddConsole(5, 0x165, 'P', 16);
  bench.AddRadio(240);
  Register({3, 5, 240});
  auto* three = dynamic_cast<devices::TCommonControl*>(bench.controls->FindByID(3));
  auto* five = dynamic_cast<devices::TCommonControl*>(bench.controls->FindByID(5));
  ASSERT_TRUE(three && five);
  five->ChannelUsed[100] = 1;  // left over from an earlier scenario
  three->ChannelUsed[7] = 1;

  testing::ScenarioFolder folder;
  platform::VirtualPlatform platform;
  TProjectList list(platform);
  ASSERT_TRUE(list.LoadFromFile(folder.Write("s.txt",
                                             "1 3 1\n"    // channel index 0
                                             "2 3 512\n"  // the last entry of the table
                                             "3 3 513\n"  // outside the table
                                             "4 3 0\n"    // outside the table (-1)
                                             "5 3 1\n"    // twice the same
                                             "6 5 #C\n"   // motion cue: no channel
                                             "7 240 2\n"  // a radio has no table
                                             "8 9 4\n"    // not registered
                                             "9 5 3\n"))  // a channel cue for the motor console
                  .Ok());
  list.MarkUsedChannels(*bench.controls);
  EXPECT_EQ(three->ChannelUsed[0], 1);
  EXPECT_EQ(three->ChannelUsed[511], 1);
  EXPECT_EQ(three->ChannelUsed[7], 0) << "cleared first";
  EXPECT_EQ(std::accumulate(three->ChannelUsed.begin(), three->ChannelUsed.end(), 0), 2);
  EXPECT_EQ(five->ChannelUsed[100], 0);
  EXPECT_EQ(five->ChannelUsed[2], 1);
  EXPECT_EQ(std::accumulate(five->ChannelUsed.begin(), five->ChannelUsed.end(), 0), 1);

  list.Clear();
  list.MarkUsedChannels(*bench.controls);
  EXPECT_EQ(std::accumulate(three->ChannelUsed.begin(), three->ChannelUsed.end(), 0), 0);
}

}  // namespace
}  // namespace fd::show
