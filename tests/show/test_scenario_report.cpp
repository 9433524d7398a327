#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "cue_builders.h"
#include "devices/device_codes.h"
#include "show/scenario_report.h"

namespace fd::show {
namespace {

using devices::CueRecord;

using testing_cues::Channel;
using testing_cues::Motion;

// The cue indexes a warning names, or nothing when the warning is absent.
std::vector<int> Flagged(const ScenarioSummary& s, const std::string& code) {
  for (const auto& w : s.Warnings) {
    if (w.Code == code) {
      EXPECT_FALSE(w.Text.empty()) << code;
      return w.Cues;
    }
  }
  return {};
}

std::vector<std::string> Codes(const ScenarioSummary& s) {
  std::vector<std::string> codes;
  for (const auto& w : s.Warnings) codes.push_back(w.Code);
  std::sort(codes.begin(), codes.end());
  return codes;
}

TEST(ScenarioReport, CountsSpanConsolesAndChannels) {
  std::vector<CueRecord> cues = {Channel(1000, 3, 1), Channel(2000, 3, 12), Channel(2500, 3, 1),
                                 Motion(3000, 9, devices::MotionC), Channel(7000, 5, 2)};
  ScenarioSummary s = SummarizeScenario(cues);
  EXPECT_EQ(s.Count, 5);
  EXPECT_EQ(s.FirstMs, 1000);
  EXPECT_EQ(s.LastMs, 7000);
  ASSERT_EQ(s.Consoles.size(), 3u);
  EXPECT_EQ(s.Consoles[3].Channels, (std::set<int>{1, 12}));
  EXPECT_EQ(s.Consoles[3].ChannelCues, 3);
  EXPECT_EQ(s.Consoles[9].MotionCues, 1);
  EXPECT_TRUE(s.Consoles[9].Channels.empty());
  EXPECT_TRUE(s.Warnings.empty()) << "a clean scenario has nothing to warn about";
}

TEST(ScenarioReport, EmptyScenario) {
  ScenarioSummary s = SummarizeScenario({});
  EXPECT_EQ(s.Count, 0);
  EXPECT_EQ(s.FirstMs, 0);
  EXPECT_EQ(s.LastMs, 0);
  EXPECT_TRUE(s.Consoles.empty());
  EXPECT_TRUE(s.Warnings.empty());
}

TEST(ScenarioReport, WithoutABusTimesAreJudgedForBothGenerations) {
  std::vector<CueRecord> cues = {Channel(1010, 1, 1), Channel(1004, 1, 2), Channel(1005, 1, 3),
                                 Motion(1100, 2, devices::MotionL), Motion(1150, 2, devices::MotionR)};
  ScenarioSummary s = SummarizeScenario(cues);
  EXPECT_EQ(Flagged(s, "time-10ms"), (std::vector<int>{1, 2}));
  EXPECT_EQ(Flagged(s, "time-2ms"), (std::vector<int>{2}));
  EXPECT_EQ(Flagged(s, "time-100ms-motion"), (std::vector<int>{4}));
  EXPECT_NE(s.Warnings[0].Text.find("165"), std::string::npos) << "the text names the generation";
}

TEST(ScenarioReport, RangesDuplicatesAndTimesRecordsCannotHold) {
  std::vector<CueRecord> cues = {
      Channel(-500, 1, 1),                          // 0: before the start
      Channel(0, 1, 2),                             // 1: at the start
      Channel(1000, 0, 1),                          // 2: console 0
      Channel(1000, 200, 1),                        // 3: console 200
      Channel(1000, 1, 0),                          // 4: channel 0
      Channel(1000, 1, 513),                        // 5: channel 513
      Channel(1000, 1, 512),                        // 6: fits the table, not a record
      Channel(2000, 4, 7),                          // 7
      Channel(2000, 4, 7),                          // 8: duplicate of 7
      Channel(2000, 4, 8),                          // 9: another channel
      Motion(3000, 9, devices::MotionLT, 25, 204),  // 10
      Motion(3000, 9, devices::MotionLT, 30, 255),  // 11: same command, same time: duplicate
      Motion(3000, 9, devices::MotionRT),           // 12: another command
      Motion(4000, 9, devices::MotionL, 510),       // 13: level 200 %
      Channel(6553599, 1, 1),                       // 14: the latest time a record holds (odd ms)
      Channel(6553600, 1, 1),                       // 15: too late
  };
  ScenarioSummary s = SummarizeScenario(cues);
  EXPECT_EQ(Flagged(s, "time-start"), (std::vector<int>{0, 1}));
  EXPECT_EQ(Flagged(s, "console-range"), (std::vector<int>{2, 3}));
  EXPECT_EQ(Flagged(s, "channel-range"), (std::vector<int>{4, 5}));
  EXPECT_EQ(Flagged(s, "channel-512"), (std::vector<int>{6}));
  EXPECT_EQ(Flagged(s, "duplicate"), (std::vector<int>{8, 11}));
  EXPECT_EQ(Flagged(s, "motion-parameter"), (std::vector<int>{13}));
  EXPECT_EQ(Flagged(s, "time-late"), (std::vector<int>{15}));
  EXPECT_EQ(Flagged(s, "time-2ms"), (std::vector<int>{14}));
}

TEST(ScenarioReport, WithFirmwareEachConsoleIsJudgedByItsOwnRecords) {
  std::map<int, ConsoleFirmware> firmware = {
      {1, {0x147, false}}, {2, {0x164, false}}, {3, {0x165, false}}, {4, {0x165, true}}, {5, {0x164, true}}};
  std::vector<CueRecord> cues = {
      Channel(1005, 1, 1),                // 0: 10 ms step missed on an old console
      Channel(1004, 1, 2),                // 1: same
      Channel(1004, 3, 1),                // 2: even millisecond: fine from 165 on
      Channel(1005, 3, 2),                // 3: odd millisecond from 165 on
      Channel(1010, 2, 1),                // 4: fine
      Channel(2000, 4, 1),                // 5: channel cue for a motor console
      Motion(2050, 4, devices::MotionC),  // 6: motor records hold 100 ms steps
      Motion(3000, 5, devices::MotionC),  // 7: motor console too old
      Motion(3000, 3, devices::MotionC),  // 8: motion cue for a standard console
      Channel(4000, 1, 1),                // 9: second cue on channel 1 of a console below 148
      Channel(4000, 2, 1),                // 10: fine from 148 on: a record each
      Channel(5001, 77, 1),               // 11: not connected: no firmware warnings
  };
  ScenarioSummary s = SummarizeScenario(cues, &firmware);
  EXPECT_EQ(Flagged(s, "time-10ms"), (std::vector<int>{0, 1}));
  EXPECT_EQ(Flagged(s, "time-2ms"), (std::vector<int>{3}));
  EXPECT_EQ(Flagged(s, "channel-cue-on-motor"), (std::vector<int>{5}));
  EXPECT_EQ(Flagged(s, "time-100ms-motion"), (std::vector<int>{6}));
  EXPECT_EQ(Flagged(s, "motor-firmware"), (std::vector<int>{7}));
  EXPECT_EQ(Flagged(s, "motion-cue-on-console"), (std::vector<int>{8}));
  EXPECT_EQ(Flagged(s, "channel-overwritten"), (std::vector<int>{9}));
  EXPECT_EQ(Codes(s), (std::vector<std::string>{"channel-cue-on-motor", "channel-overwritten", "motion-cue-on-console",
                                                "motor-firmware", "time-100ms-motion", "time-10ms", "time-2ms"}));
}

TEST(ScenarioReport, ShowTimeText) {
  EXPECT_EQ(ShowTimeText(0), "0:00:00.000");
  EXPECT_EQ(ShowTimeText(90500), "0:01:30.500");
  EXPECT_EQ(ShowTimeText(6553599), "1:49:13.599");
  EXPECT_EQ(ShowTimeText(-500), "-0:00:00.500");
  EXPECT_EQ(ShowTimeText(INT32_MIN), "-596:31:23.648");
}

}  // namespace
}  // namespace fd::show
