// Writing the scenario into the consoles and reading it back, on the bench: every memory
// generation, filler records, differences, cancelling, progress and the runs that stop early.
#include <gtest/gtest.h>

#include <vector>

#include "bench_fixture.h"
#include "cue_builders.h"
#include "devices/common_control.h"
#include "devices/scenario_memory.h"

namespace fd::devices {
namespace {

using testing::BusBench;

using testing_cues::Channel;
using testing_cues::Motion;

struct Progress {
  int percent, deviceIndex, consoleId, channel;
  bool operator==(const Progress&) const = default;
};

class ScenarioMemoryTest : public ::testing::Test {
 protected:
  // Registers every console added so far, in ascending ID order like the console window keeps it.
  void RegisterAll(std::initializer_list<int> ids) {
    for (int id : ids) ASSERT_NE(bench.controls->Register(id, 0), nullptr) << id;
    bench.controls->SortByID();
  }
  void Record() {
    bench.controls->OnMemoryProgress = [this](int percent, int index, int id, int channel, bool& cancel) {
      events.push_back({percent, index, id, channel});
      if (cancelAt >= 0 && static_cast<int>(events.size()) == cancelAt) cancel = true;
    };
  }
  // Frames of a command sent to one address since the mark.
  int SentTo(uint8_t code, int address) const {
    int n = 0;
    for (size_t i = mark; i < bench.sent.size(); ++i)
      if (bench.sent[i][0] == code && bench.sent[i][5] == address) ++n;
    return n;
  }
  void Mark() { mark = bench.sent.size(); }

  // The record a console holds at a 1-based index, as (time, channel number).
  static std::pair<int, int> RecordAt(const sim::ConsoleDevice& console, int index) {
    auto r = console.Memory().Read(index);
    if (!r) return {-1, -1};
    return {sim::RecordTimeMs(*r), sim::RecordChannel(*r)};
  }

  BusBench bench;
  std::vector<Progress> events;
  int cancelAt = -1;
  size_t mark = 0;
};

TEST_F(ScenarioMemoryTest, RoundTripOnEveryGenerationAndKind) {
  auto& old = bench.AddConsole(1, 0x147, 'S', 8);
  auto& mid = bench.AddConsole(2, 0x150, 'S', 8);
  auto& fine = bench.AddConsole(3, 0x165, 'S', 8);
  auto& hv = bench.AddConsole(4, 0x268, 'Q', 8);
  auto& motor = bench.AddConsole(5, 0x165, 'P', 9);  // room for three motion groups
  RegisterAll({1, 2, 3, 4, 5});
  ASSERT_EQ(bench.controls->FindByID(4)->Kind, kKindHV);
  ASSERT_EQ(bench.controls->FindByID(5)->Kind, kKindMotor);

  std::vector<CueRecord> list = {
      Channel(3000, 1, 3),
      Channel(1000, 1, 5),
      Channel(2010, 2, 8),
      Channel(2020, 2, 1),
      Channel(1002, 3, 2),
      Channel(4446, 3, 7),
      Channel(4446, 4, 1),
      Channel(6553598, 4, 2),
      Motion(1500, 5, MotionLT, 25, 204),
      Motion(2500, 5, MotionC, 255, 0),
      Motion(2500, 5, MotionRT, 1, 2),
  };
  Record();
  EXPECT_EQ(bench.controls->WriteScenario(list), 0);
  EXPECT_EQ(events.back(), (Progress{100, -1, -1, -1}));
  for (size_t i = 1; i < list.size(); ++i) EXPECT_LE(list[i - 1].TimeMs, list[i].TimeMs) << "the list is sorted";

  // Below 148: the cell of each used channel, filler above the highest used channel only.
  EXPECT_EQ(RecordAt(old, 5), std::make_pair(1000, 5));
  EXPECT_EQ(RecordAt(old, 3), std::make_pair(3000, 3));
  EXPECT_EQ(RecordAt(old, 6), std::make_pair(kFillerTime, 6));
  EXPECT_EQ(RecordAt(old, 8), std::make_pair(kFillerTime, 8));
  // 148..164: records in time order, then filler records naming their record index.
  EXPECT_EQ(RecordAt(mid, 1), std::make_pair(2010, 8));
  EXPECT_EQ(RecordAt(mid, 2), std::make_pair(2020, 1));
  EXPECT_EQ(RecordAt(mid, 3), std::make_pair(kFillerTime, 3));
  EXPECT_EQ(RecordAt(mid, 8), std::make_pair(kFillerTime, 8));
  // 165 on: 2 ms steps.
  EXPECT_EQ(RecordAt(fine, 1), std::make_pair(1002, 2));
  EXPECT_EQ(RecordAt(fine, 2), std::make_pair(4446, 7));
  EXPECT_EQ(RecordAt(hv, 2), std::make_pair(6553598, 2));
  // Motor console: three records per motion, nothing after the last.
  auto motions = motor.Memory().Cues();
  ASSERT_EQ(motions.size(), 3u);
  EXPECT_EQ(motions[0].timeMs, 1500);
  EXPECT_EQ(motions[0].motionCode, 0x81);
  EXPECT_EQ(motions[0].x, 204);
  EXPECT_EQ(motions[0].y, 25);
  EXPECT_EQ(motions[1].motionCode, 0x98);
  EXPECT_EQ(motions[2].motionCode, 0x91);

  events.clear();
  Mark();
  EXPECT_EQ(bench.controls->VerifyScenario(list), 0);
  EXPECT_EQ(SentTo(0x91, 1) + SentTo(0x91, 2) + SentTo(0x91, 3), 0) << "a verify writes nothing";
  EXPECT_EQ(SentTo(0x92, 2), 2) << "filler records are not read back";
  EXPECT_EQ(SentTo(0x92, 5), 9) << "three records per motion cue";
  EXPECT_EQ(events.size(), list.size() + 1);
}

TEST_F(ScenarioMemoryTest, ConsolesWithoutCuesAreFilledEntirelyAndVerifyReadsNothing) {
  auto& old = bench.AddConsole(1, 0x147, 'S', 6);
  auto& mid = bench.AddConsole(2, 0x164, 'S', 6);
  auto& fine = bench.AddConsole(3, 0x165, 'S', 6);
  bench.AddConsole(4, 0x165, 'P', 6);
  RegisterAll({1, 2, 3, 4});
  std::vector<CueRecord> list;
  Record();
  Mark();
  EXPECT_EQ(bench.controls->WriteScenario(list), 0);
  EXPECT_EQ(SentTo(0x91, 1), 6);
  EXPECT_EQ(SentTo(0x91, 2), 6);
  EXPECT_EQ(SentTo(0x91, 3), 6);
  EXPECT_EQ(SentTo(0x91, 4), 0) << "nothing after the last cue of a motor console";
  for (int k = 1; k <= 6; ++k) {
    EXPECT_EQ(RecordAt(old, k), std::make_pair(kFillerTime, k));
    EXPECT_EQ(RecordAt(mid, k), std::make_pair(kFillerTime, k));
    EXPECT_EQ(RecordAt(fine, k), std::make_pair(kFillerTime, k));
  }
  EXPECT_EQ(events, (std::vector<Progress>{{100, -1, -1, -1}})) << "no per-cue events";

  Mark();
  EXPECT_EQ(bench.controls->VerifyScenario(list), 0);
  for (int id = 1; id <= 4; ++id) EXPECT_EQ(SentTo(0x92, id), 0);
}

TEST_F(ScenarioMemoryTest, RegistryWithoutConsoles) {
  bench.AddRadio(241);
  bench.AddRemote();
  RegisterAll({241, 0});
  std::vector<CueRecord> list = {Channel(1000, 3, 1), Channel(2000, 241, 1)};
  Record();
  Mark();
  EXPECT_EQ(bench.controls->WriteScenario(list), 0);
  EXPECT_EQ(bench.SentCount(0x91), 0);
  EXPECT_EQ(events, (std::vector<Progress>{{100, -1, -1, -1}}));
  events.clear();
  EXPECT_EQ(bench.controls->VerifyScenario(list), 0);
  EXPECT_EQ(bench.SentCount(0x92), 0);
  EXPECT_EQ(events, (std::vector<Progress>{{100, -1, -1, -1}}));

  BusBench empty;
  EXPECT_EQ(empty.controls->WriteScenario(list), 0) << "an empty registry, and nobody listening";
}

TEST_F(ScenarioMemoryTest, ADifferenceInAConsoleFailsTheVerify) {
  bench.AddConsole(1, 0x165, 'S', 8);
  auto& second = bench.AddConsole(2, 0x165, 'S', 8);
  RegisterAll({1, 2});
  std::vector<CueRecord> list = {Channel(1000, 1, 1), Channel(2000, 2, 3), Channel(3000, 2, 4)};
  ASSERT_EQ(bench.controls->WriteScenario(list), 0);
  ASSERT_EQ(bench.controls->VerifyScenario(list), 0);

  // Somebody else rewrites the second record of console 2 (the identification starts a new
  // write sequence at the first record).
  auto* console2 = bench.controls->FindByID(2);
  console2->CheckLink();
  ASSERT_EQ(bench.port->WriteRecord(2, 2, 2000, console2->RepeatMode, console2->Converter), 0);
  ASSERT_EQ(bench.port->WriteRecord(2, 3, 3100, console2->RepeatMode, console2->Converter), 0);
  ASSERT_EQ(RecordAt(second, 2), std::make_pair(3100, 4));

  Record();
  Mark();
  EXPECT_EQ(bench.controls->VerifyScenario(list), kScenarioMismatch);
  EXPECT_EQ(events.size(), 3u) << "the difference ends the run at its cue";
  EXPECT_NE(events.back().percent, 100);

  // A different channel is a difference too.
  console2->CheckLink();
  bench.port->WriteRecord(2, 2, 2000, console2->RepeatMode, console2->Converter);
  bench.port->WriteRecord(2, 4, 3000, console2->RepeatMode, console2->Converter);
  EXPECT_EQ(bench.controls->VerifyScenario(list), kScenarioMismatch);
}

TEST_F(ScenarioMemoryTest, AMotorCueWhoseRecordsDisagreeOnTheTimeIsADifference) {
  bench.AddConsole(5, 0x165, 'P', 3);
  RegisterAll({5});
  std::vector<CueRecord> list = {Motion(1500, 5, MotionLT, 25, 204)};
  ASSERT_EQ(bench.controls->WriteScenario(list), 0);
  ASSERT_EQ(bench.controls->VerifyScenario(list), 0);
  // The first two records rewritten, the second a tenth later: the group no longer holds one time.
  auto* motor = bench.controls->FindByID(5);
  motor->CheckLink();
  ASSERT_EQ(bench.port->WriteRecord(5, 0, 1500, motor->RepeatMode, motor->Converter), 0);
  ASSERT_EQ(bench.port->WriteRecord(5, 0, 1600, motor->RepeatMode, motor->Converter), 0);
  EXPECT_EQ(bench.controls->VerifyScenario(list), kScenarioMismatch);
}

TEST_F(ScenarioMemoryTest, TimesARecordCannotHoldShowAsDifferences) {
  auto& fine = bench.AddConsole(1, 0x165, 'S', 4);
  auto& mid = bench.AddConsole(2, 0x150, 'S', 4);
  auto& old = bench.AddConsole(3, 0x120, 'S', 4);
  RegisterAll({1, 2, 3});

  std::vector<CueRecord> odd = {Channel(12345, 1, 1)};
  EXPECT_EQ(bench.controls->WriteScenario(odd), 0);
  EXPECT_EQ(RecordAt(fine, 1), std::make_pair(12344, 1)) << "stored rounded down to 2 ms";
  EXPECT_EQ(bench.controls->VerifyScenario(odd), kScenarioMismatch);

  std::vector<CueRecord> notTen = {Channel(12346, 2, 1)};
  EXPECT_EQ(bench.controls->WriteScenario(notTen), 0);
  EXPECT_EQ(RecordAt(mid, 1), std::make_pair(12340, 1));
  EXPECT_EQ(bench.controls->VerifyScenario(notTen), kScenarioMismatch);

  std::vector<CueRecord> cell = {Channel(12345, 3, 2)};
  EXPECT_EQ(bench.controls->WriteScenario(cell), 0);
  EXPECT_EQ(RecordAt(old, 2), std::make_pair(12340, 2));
  EXPECT_EQ(bench.controls->VerifyScenario(cell), kScenarioMismatch);

  // Past 6 553 599 ms the coarse time has no room: the engine refuses the frame instead of storing
  // a wrapped (early) time, and the run reports it.
  std::vector<CueRecord> late = {Channel(6553600, 1, 1)};
  Mark();
  EXPECT_EQ(bench.controls->WriteScenario(late), bus::kBusRefused);
  EXPECT_EQ(SentTo(0x91, 1), 0);
}

TEST_F(ScenarioMemoryTest, TwoCuesOnOneChannel) {
  auto& old = bench.AddConsole(1, 0x147, 'S', 4);
  auto& fine = bench.AddConsole(2, 0x165, 'S', 4);
  RegisterAll({1, 2});
  std::vector<CueRecord> list = {Channel(1000, 1, 2), Channel(2000, 1, 2), Channel(1000, 2, 2), Channel(2000, 2, 2)};
  EXPECT_EQ(bench.controls->WriteScenario(list), 0);
  EXPECT_EQ(RecordAt(old, 2), std::make_pair(2000, 2)) << "one cell per channel: the later time stays";
  EXPECT_EQ(RecordAt(fine, 1), std::make_pair(1000, 2));
  EXPECT_EQ(RecordAt(fine, 2), std::make_pair(2000, 2));
  EXPECT_EQ(RecordAt(fine, 3), std::make_pair(kFillerTime, 3));
  // The old console cannot fire the earlier cue: its verify says so.
  EXPECT_EQ(bench.controls->VerifyScenario(list), kScenarioMismatch);
}

TEST_F(ScenarioMemoryTest, UnusedCellsBelowTheHighestKeepTheirTimeOnOldConsoles) {
  auto& old = bench.AddConsole(1, 0x147, 'S', 6);
  RegisterAll({1});
  std::vector<CueRecord> first = {Channel(5000, 1, 2)};
  ASSERT_EQ(bench.controls->WriteScenario(first), 0);
  std::vector<CueRecord> second = {Channel(1000, 1, 1), Channel(3000, 1, 3)};
  ASSERT_EQ(bench.controls->WriteScenario(second), 0);
  EXPECT_EQ(RecordAt(old, 1), std::make_pair(1000, 1));
  EXPECT_EQ(RecordAt(old, 2), std::make_pair(5000, 2)) << "channel 2 was not rewritten";
  EXPECT_EQ(RecordAt(old, 3), std::make_pair(3000, 3));
  EXPECT_EQ(RecordAt(old, 4), std::make_pair(kFillerTime, 4));
}

TEST_F(ScenarioMemoryTest, CancellingStopsAtTheNextEvent) {
  bench.AddConsole(1, 0x165, 'S', 8);
  bench.AddConsole(2, 0x165, 'S', 8);
  RegisterAll({1, 2});
  std::vector<CueRecord> list = {Channel(1000, 1, 1), Channel(2000, 1, 2), Channel(3000, 1, 3), Channel(1000, 2, 1)};
  Record();
  cancelAt = 2;
  Mark();
  EXPECT_EQ(bench.controls->WriteScenario(list), kScenarioCancelled);
  EXPECT_EQ(events.size(), 2u) << "no event after the cancel, not even the final one";
  EXPECT_EQ(SentTo(0x91, 1), 2) << "the cue whose event cancelled was written, nothing after it";
  EXPECT_EQ(SentTo(0x91, 2), 0) << "no filler and no later console";

  events.clear();
  cancelAt = 1;
  Mark();
  EXPECT_EQ(bench.controls->VerifyScenario(list), kScenarioCancelled);
  EXPECT_EQ(SentTo(0x92, 1), 1);
  EXPECT_EQ(SentTo(0x92, 2), 0);
}

TEST_F(ScenarioMemoryTest, ProgressNamesTheConsoleAndChannel) {
  for (int id : {1, 2, 3}) bench.AddConsole(id, 0x165, id == 3 ? 'P' : 'S', 12);
  RegisterAll({1, 2, 3});
  // Ten cues; list index 4 is the only cue of console 2 (registry position 1).
  std::vector<CueRecord> list;
  for (int j = 0; j < 10; ++j) {
    if (j == 4)
      list.push_back(Channel(1000 * (j + 1), 2, 7));
    else if (j == 8)
      list.push_back(Motion(1000 * (j + 1), 3, MotionC, 100, 0));
    else
      list.push_back(Channel(1000 * (j + 1), 1, j + 1));
  }
  Record();
  ASSERT_EQ(bench.controls->WriteScenario(list), 0);
  std::vector<Progress> console2, console3;
  for (const auto& e : events) {
    if (e.consoleId == 2) console2.push_back(e);
    if (e.consoleId == 3) console3.push_back(e);
  }
  // (10 x 1 + 4) / 30 x 100 = 46.7
  EXPECT_EQ(console2, (std::vector<Progress>{{47, 1, 2, 7}}));
  // (10 x 2 + 8) / 30 x 100 = 93.3; a motor console always names channel 1
  EXPECT_EQ(console3, (std::vector<Progress>{{93, 2, 3, 1}}));
  EXPECT_EQ(events.front(), (Progress{0, 0, 1, 1}));
  EXPECT_EQ(events.size(), 11u);

  EXPECT_EQ(MemoryProgressPercent(10, 1, 4, 3), 47);
  EXPECT_EQ(MemoryProgressPercent(8, 0, 1, 1), 13) << "12.5 rounds away from zero";
  EXPECT_EQ(MemoryProgressPercent(0, 0, 0, 3), 0);
  EXPECT_EQ(MemoryProgressPercent(1'000'000, 198, 999'999, 199), 100);
}

TEST_F(ScenarioMemoryTest, OldMotorConsoleStopsTheRunAfterTheConsolesBeforeIt) {
  auto& first = bench.AddConsole(1, 0x165, 'S', 4);
  bench.AddConsole(2, 0x164, 'P', 6);
  bench.AddConsole(3, 0x165, 'S', 4);
  bench.AddConsole(4, 0x150, 'P', 6);  // old as well, but without cues
  RegisterAll({1, 2, 3, 4});

  std::vector<CueRecord> withoutMotorCues = {Channel(1000, 1, 1), Channel(1000, 3, 1)};
  EXPECT_EQ(bench.controls->WriteScenario(withoutMotorCues), 0) << "an old motor console without cues is only visited";

  std::vector<CueRecord> list = {Channel(1000, 1, 1), Motion(2000, 2, MotionL, 50, 0), Channel(3000, 3, 1)};
  Record();
  Mark();
  EXPECT_EQ(bench.controls->WriteScenario(list), kScenarioMotorTooOld);
  EXPECT_EQ(RecordAt(first, 1), std::make_pair(1000, 1)) << "the console before it was handled";
  EXPECT_EQ(SentTo(0x91, 1), 4) << "its cue and its filler";
  EXPECT_EQ(SentTo(0x91, 2), 0);
  EXPECT_EQ(SentTo(0x91, 3), 0) << "consoles after it are not touched";
  EXPECT_EQ(events.back().consoleId, 2);
  EXPECT_EQ(bench.controls->VerifyScenario(list), kScenarioMotorTooOld);
}

TEST_F(ScenarioMemoryTest, CuesOfTheWrongKindAreCountedButNeitherSentNorRead) {
  auto& standard = bench.AddConsole(1, 0x165, 'S', 6);
  auto& motor = bench.AddConsole(2, 0x165, 'P', 6);
  RegisterAll({1, 2});
  std::vector<CueRecord> list = {
      Channel(1000, 1, 1), Motion(1500, 1, MotionC, 10, 0), Channel(2000, 1, 2), Motion(1000, 2, MotionR, 20, 0),
      Channel(1500, 2, 5), Motion(2000, 2, MotionL, 30, 0),
  };
  Record();
  Mark();
  ASSERT_EQ(bench.controls->WriteScenario(list), 0);
  EXPECT_EQ(events.size(), 7u) << "every cue raises its event";
  EXPECT_EQ(SentTo(0x91, 1), 6) << "two records and four filler records, nothing for the motion cue";
  EXPECT_EQ(RecordAt(standard, 1), std::make_pair(1000, 1));
  EXPECT_EQ(RecordAt(standard, 2), std::make_pair(2000, 2));
  EXPECT_EQ(RecordAt(standard, 3), std::make_pair(kFillerTime, 3));
  EXPECT_EQ(SentTo(0x91, 2), 6) << "two motion cues of three records, nothing for the channel cue";
  auto motions = motor.Memory().Cues();
  ASSERT_EQ(motions.size(), 2u);
  EXPECT_EQ(motions[1].timeMs, 2000);

  Mark();
  EXPECT_EQ(bench.controls->VerifyScenario(list), 0) << "the records after a skipped cue are read where they are";
  EXPECT_EQ(SentTo(0x92, 1), 2);
  EXPECT_EQ(SentTo(0x92, 2), 6);
}

TEST_F(ScenarioMemoryTest, ARunKeepsTheCuesAndConsolesItStartedWith) {
  // The progress events let the window handle input: here another scenario is loaded into the
  // list and the remote control, first in the registry, leaves it, both at the first event.
  auto& first = bench.AddConsole(1, 0x165, 'S', 4);
  auto& second = bench.AddConsole(2, 0x165, 'S', 4);
  auto& remote = bench.AddRemote();
  RegisterAll({0, 1, 2});
  bench.controls->SetSearchMode(smSweep);
  ASSERT_TRUE(bench.platform.AdvanceUntil([&] { return bench.controls->ScanAddress() == 0; }, 120'000, 5));
  bench.controls->SetSearchMode(smNone);

  std::vector<CueRecord> list = {Channel(1000, 1, 1), Channel(2000, 1, 2), Channel(3000, 2, 3)};
  bool replaced = false;
  bench.controls->OnMemoryProgress = [&](int percent, int index, int id, int channel, bool&) {
    events.push_back({percent, index, id, channel});
    if (replaced) return;
    replaced = true;
    std::vector<CueRecord> other = {Channel(5000, 1, 4), Channel(6000, 1, 4), Channel(7000, 2, 4)};
    list.swap(other);  // the records the run began with are freed here
    bench.PowerOff(remote);
    bench.controls->ScanTick();
    ASSERT_EQ(bench.controls->FindByID(0), nullptr);
  };
  EXPECT_EQ(bench.controls->WriteScenario(list), 0);
  ASSERT_TRUE(replaced);
  EXPECT_EQ(RecordAt(first, 1), std::make_pair(1000, 1));
  EXPECT_EQ(RecordAt(first, 2), std::make_pair(2000, 2)) << "not the cue of the scenario loaded meanwhile";
  EXPECT_EQ(RecordAt(second, 1), std::make_pair(3000, 3)) << "the console after the removed entry is not skipped";
  EXPECT_EQ(RecordAt(second, 2), std::make_pair(kFillerTime, 2));
  EXPECT_EQ(events, (std::vector<Progress>{{33, 1, 1, 1}, {44, 1, 1, 2}, {89, 2, 2, 3}, {100, -1, -1, -1}}));
}

TEST_F(ScenarioMemoryTest, ConsoleThatStoppedAnsweringPassesTheEnginesCodeThrough) {
  auto& fine = bench.AddConsole(1, 0x165, 'S', 4);
  auto& mid = bench.AddConsole(2, 0x150, 'S', 4);
  RegisterAll({1, 2});
  bench.PowerOff(fine);
  std::vector<CueRecord> list = {Channel(1000, 1, 1)};
  EXPECT_EQ(bench.controls->WriteScenario(list), bus::kBusNoReply);

  // Unconfirmed writes succeed whenever the frame went out; only the verify finds out.
  bench.PowerOn(fine);
  bench.PowerOff(mid);
  std::vector<CueRecord> second = {Channel(1000, 2, 1)};
  EXPECT_EQ(bench.controls->WriteScenario(second), 0);
  EXPECT_EQ(bench.controls->VerifyScenario(second), bus::kBusNoReply);
}

}  // namespace
}  // namespace fd::devices

namespace fd::devices {
namespace {

TEST(ScenarioResultMessage, TextsForTheCodesThatHaveOne) {
  EXPECT_STREQ(ScenarioResultMessage(-1), "Ошибка устройства.");
  EXPECT_STREQ(ScenarioResultMessage(-2), "Ошибка передачи данных.");
  EXPECT_STREQ(ScenarioResultMessage(-3), "Ошибка передачи данных (истекло время ожидания).");
  EXPECT_STREQ(ScenarioResultMessage(-100), "Несовпадение сценария в пультах.");
  EXPECT_STREQ(ScenarioResultMessage(-101), "Операция прервана.");
  for (int code : {0, -10, -4, -99, 1}) EXPECT_EQ(ScenarioResultMessage(code), nullptr) << code;
}

}  // namespace
}  // namespace fd::devices
