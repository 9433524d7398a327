// Scenario files written into the consoles and read back on the bench, as the operator's commands
// do it: what the consoles cannot hold is refused by its file line before anything is sent, a
// motor group without a motion command is a difference, and file channel 0 is stored like any
// other channel.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devices/bench_fixture.h"
#include "devices/common_control.h"
#include "devices/scenario_memory.h"
#include "devices/scenario_memory_fit.h"
#include "scenario_files.h"
#include "show/preflight_checks.h"
#include "show/project_list.h"

namespace fd::show {
namespace {

using devices::testing::BusBench;
constexpr auto FitFault = ScenarioFitFault;

constexpr uint8_t kWrite = 0x91, kRead = 0x92;

// Consoles of every record form: 1 below 148 (one cell per channel), 2 at 150 (records, 10 ms),
// 3 at 165 (records, 2 ms, confirmed), 9 a motor console at 165 (three records per motion).
class MemoryFromFile : public ::testing::Test {
 protected:
  MemoryFromFile() {
    bench.AddConsole(1, 0x147, 'S', 8);
    bench.AddConsole(2, 0x150, 'S', 8);
    bench.AddConsole(3, 0x165, 'S', 8);
    motor = &bench.AddConsole(9, 0x165, 'P', 9);
    for (int id : {1, 2, 3, 9}) EXPECT_NE(bench.controls->Register(id, 0), nullptr) << id;
    bench.controls->SortByID();
  }
  TProjectList& Load(const std::string& text) {
    const LoadResult loaded = list.LoadFromFile(folder.Write("show.txt", text));
    EXPECT_TRUE(loaded.Ok()) << text;
    return list;
  }
  bus::Frame6 FirstSent(uint8_t code, uint8_t address, size_t from) const {
    for (size_t i = from; i < bench.sent.size(); ++i)
      if (bench.sent[i][0] == code && bench.sent[i][5] == address) return bench.sent[i];
    return {};
  }
  std::string Message(int code) const {
    return devices::ScenarioRunMessage(code, bench.controls->ScenarioFaultLine, bench.controls->ScenarioFaultCause);
  }

  BusBench bench;
  sim::ConsoleDevice* motor = nullptr;
  testing::ScenarioFolder folder;
  TProjectList list;
};

TEST_F(MemoryFromFile, AScenarioTheConsolesCannotHoldIsRefusedByItsLineBeforeAnythingIsSent) {
  struct Case {
    const char* file;
    int line;           // 0: the scenario fits
    const char* cause;  // what the operator reads after the line
  } cases[] = {
      // duration 300 tenths: no byte holds it
      {"1 3 1\n2 9 #LT#30#50\n3 2 2\n", 2, "Длительность 30,0 с вне диапазона 0..25,5 с."},
      {"1 9 #C#200\n", 1, "Уровень 200 % вне диапазона 0..100 %."},                        // level 510
      {"1 1 1\n5 2 2\n6553.6 3 1\n", 3, "Время 6553600 мс вне диапазона 0..6553599 мс."},  // 65536 tenths
      {"6553.6 9 #C\n", 1, "Время 6553600 мс вне диапазона 0..6553599 мс."},  // the same on a motor console
      {"1 1 1\n-1 2 1\n", 2, "Время -1000 мс вне диапазона 0..6553599 мс."},  // before the show start
      {"10 3 513\n1 3 1\n", 1, "Канал 513 вне диапазона 0..511."},            // the fault is by line, not by time
      {"1 2 512\n", 1, "Канал 512 вне диапазона 0..511."},                    // channel 512 has no 9-bit record form
      {"1 1 513\n", 1, "Канал 513 вне диапазона 0..511."},  // nor on a console with one cell per channel
      {"5 1 1\n7 3 600\n\n1 3 700\n", 2, "Канал 600 вне диапазона 0..511."},  // two faults: the first line
      // nine cues for eight records: the ninth in time order is named
      {"1 2 1\n2 2 2\n3 2 3\n4 2 4\n5 2 5\n6 2 6\n7 2 7\n9 2 8\n8 2 1\n", 8,
       "Пульту 2 назначено команд: 9, записей в пульте: 8."},
      {"1 50 600\n1 3 #LT#30\n1 9 600\n2 3 1\n", 0, ""},                    // nothing would be sent for these cues
      {"6553.598 3 1\n6553.5 9 #RT#25.5#100\n1 2 511\n", 0, ""},            // the largest that fit
      {"1 2 1\n2 2 2\n3 2 3\n4 2 4\n5 2 5\n6 2 6\n7 2 7\n8 2 8\n", 0, ""},  // as many cues as records
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    Load(c.file);
    size_t mark = bench.sent.size();
    const int written = bench.controls->WriteScenario(list.Cues());
    if (c.line == 0) {
      EXPECT_EQ(written, 0);
      EXPECT_FALSE(bench.controls->ScenarioFaultLine.has_value());
      EXPECT_EQ(FitFault(list.Cues(), *bench.controls), "");
      EXPECT_EQ(bench.controls->VerifyScenario(list.Cues()), 0);
      continue;
    }
    EXPECT_EQ(written, -1);
    const std::string expected = "Ошибка сценария (строка: " + std::to_string(c.line) + "). " + c.cause;
    EXPECT_EQ(Message(written), expected);
    EXPECT_EQ(FitFault(list.Cues(), *bench.controls), expected) << "the window's check before its dialogs";
    EXPECT_EQ(bench.sent.size(), mark) << "not one frame, not even an identification";

    mark = bench.sent.size();
    const int verified = bench.controls->VerifyScenario(list.Cues());
    EXPECT_EQ(verified, -1);
    EXPECT_EQ(Message(verified), expected);
    EXPECT_EQ(bench.sent.size(), mark);
  }
  // A run that is not refused clears the line of the one before.
  Load("1 3 1\n");
  EXPECT_EQ(bench.controls->WriteScenario(list.Cues()), 0);
  EXPECT_EQ(Message(0), "");
}

TEST_F(MemoryFromFile, AMotorGroupWithoutAMotionCommandIsADifference) {
  struct Case {
    const char* written;
    const char* verified;
  } cases[] = {
      {"1 9 #C#50\n", "1 9 #C#50\n2 9 #L#50\n"},  // the second group was never written
      {"1 9 #C#50\n2 9 #L#50\n", "1 9 #C#50\n2 9 #L#50\n3 9 #LT#1\n"},
      {"1 3 1\n", "1 3 1\n2 3 2\n"},  // a standard console in the same state: a filler record
      {"1 2 1\n", "1 2 1\n2 2 2\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.verified);
    Load(c.written);
    ASSERT_EQ(bench.controls->WriteScenario(list.Cues()), 0);
    Load(c.verified);
    const int verified = bench.controls->VerifyScenario(list.Cues());
    EXPECT_EQ(verified, devices::kScenarioMismatch);
    EXPECT_EQ(Message(verified), "Несовпадение сценария в пультах.");
  }

  // A group whose third record carries something that is no motion command, written over the
  // first group by hand (the identification starts the console's records from the first).
  Load("1 9 #C#50\n");
  ASSERT_EQ(bench.controls->WriteScenario(list.Cues()), 0);
  auto* console = bench.controls->FindByID(9);
  console->CheckLink();
  for (int k = 0; k < 3; ++k) {
    const bus::Frame6 record{kWrite, 0x00, 0x0A, static_cast<uint8_t>(k == 2 ? 0x55 : 127), static_cast<uint8_t>(k), 9};
    bus::Frame6 reply{};
    ASSERT_EQ(bench.port->Exchange(record, 0x6E, console->RepeatMode, console->Converter, reply), 0);
  }
  EXPECT_EQ(bench.controls->VerifyScenario(list.Cues()), devices::kScenarioMismatch);
  // The record group the write leaves is read back as the same cue.
  ASSERT_EQ(bench.controls->WriteScenario(list.Cues()), 0);
  EXPECT_EQ(bench.controls->VerifyScenario(list.Cues()), 0);
  ASSERT_FALSE(motor->Memory().Cues().empty());
  EXPECT_EQ(motor->Memory().Cues().front().motionCode, 0x98);
}

TEST_F(MemoryFromFile, FileChannelZeroIsWrittenAndVerifiedOnEveryGenerationButNeverFired) {
  Load("1 1 0\n1.5 1 3\n1 2 0\n1 3 0\n2 3 4\n");
  ASSERT_EQ(list.Items(0).Channel, -1);
  size_t mark = bench.sent.size();
  ASSERT_EQ(bench.controls->WriteScenario(list.Cues()), 0);
  // The first record frame to each console carries channel number 0 (bytes 3 and 4, with the
  // 10 ms digit of 1 s being 0).
  for (uint8_t id : {1, 2, 3})
    EXPECT_EQ(FirstSent(kWrite, id, mark), (bus::Frame6{kWrite, 0x00, 0x0A, 0x00, 0x00, id})) << int{id};
  mark = bench.sent.size();
  EXPECT_EQ(bench.controls->VerifyScenario(list.Cues()), 0);
  EXPECT_EQ(FirstSent(kRead, 1, mark), (bus::Frame6{kRead, 0x00, 0x00, 0x00, 0x00, 1})) << "console 1 reads cell 0";
  EXPECT_EQ(FirstSent(kRead, 2, mark), (bus::Frame6{kRead, 0x00, 0x00, 0x01, 0x00, 2})) << "console 2 reads record 1";

  // A different time stored for channel 0 is found like any other difference.
  Load("1 1 0\n1.5 1 3\n1 2 0\n1.2 3 0\n2 3 4\n");
  EXPECT_EQ(bench.controls->VerifyScenario(list.Cues()), devices::kScenarioMismatch);

  // Firing channel index -1 stays refused, with nothing on the wire, and nothing fires.
  mark = bench.sent.size();
  auto* console = dynamic_cast<devices::TCommonControl*>(bench.controls->FindByID(3));
  ASSERT_NE(console, nullptr);
  EXPECT_NE(console->Fire(-1), 0);
  double value = 0;
  EXPECT_EQ(bench.port->FireChannel(3, -1, false, -1, 0, value), bus::kBusRefused);
  EXPECT_EQ(bench.sent.size(), mark);
  EXPECT_TRUE(bench.log.Entries().empty());
}

}  // namespace
}  // namespace fd::show
