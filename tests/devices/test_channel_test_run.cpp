// The channel test of one console and of all: what gets measured, in which order, what the log
// says, and where a stop from the operator leaves the test.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "bench_fixture.h"
#include "devices/channel_test_run.h"
#include "devices/common_control.h"
#include "support/run_log.h"
#include "support/temp_dir.h"

namespace fd::devices {
namespace {

using testing::BusBench;

// The run log of one test, in a private folder, read back as written (Windows-1251).
class LogCapture {
 public:
  LogCapture() {
    support::SetLogFileName(dir_.Path() + "run.log");
    support::LogLevel = 1;
  }
  ~LogCapture() { support::LogLevel = 0; }
  int Count(const std::string& cp1251Text) const {
    std::ifstream in(dir_.Path() + "run.log", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int n = 0;
    for (size_t at = all.find(cp1251Text); at != std::string::npos; at = all.find(cp1251Text, at + 1)) ++n;
    return n;
  }

 private:
  support::testing::TempDir dir_;
};

// "Тестирование устройства, ID=" in Windows-1251.
const std::string kTestingStem =
    "\xD2\xE5\xF1\xF2\xE8\xF0\xEE\xE2\xE0\xED\xE8\xE5 \xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0, ID=";

struct Bench3 {
  BusBench bench;
  Bench3() {
    sim::ConsoleConfig a;
    a.address = 2;
    a.version = 0x151;
    a.channels = 4;
    a.channelStates[3] = sim::ChannelState::Open;  // by wire number: index 2
    bench.AddConsole(a);
    sim::ConsoleConfig b;
    b.address = 9;
    b.version = 0x268;
    b.channels = 3;
    b.channelStates[1] = sim::ChannelState::Broken;
    bench.AddConsole(b);
    bench.AddRadio(241);
    bench.AddRemote();
    for (int id : {0, 2, 9, 241}) bench.controls->Register(id, 0);
    bench.controls->SortByID();  // remote, 2, 9, radio
  }
  TCommonControl& Console(int id) { return *dynamic_cast<TCommonControl*>(bench.controls->FindByID(id)); }
  int Measurements(int id) const {
    int n = 0;
    for (const auto& f : bench.sent)
      if (f[5] == id && f[0] == 0x83) ++n;
    return n;
  }
};

TEST(ChannelTestRun, AllConsolesInRegistryOrderEndingOnTheFirstConsole) {
  LogCapture log;
  Bench3 b;
  ChannelTestRun run(*b.bench.controls, b.bench.platform);
  int redraws = 0;
  run.OnChannel = [&] { ++redraws; };
  int current = -1;
  EXPECT_TRUE(run.TestAll(current));
  EXPECT_EQ(current, b.bench.controls->FirstConsole());
  EXPECT_EQ(b.Console(2).ChannelState[0], 1);
  EXPECT_EQ(b.Console(2).ChannelState[2], 2);
  EXPECT_EQ(b.Console(9).ChannelState[0], 3) << "channel 1 never answers its measurement";
  EXPECT_EQ(b.Console(9).ChannelState[1], 1);
  EXPECT_EQ(log.Count(kTestingStem + "2\r\n"), 1);
  EXPECT_EQ(log.Count(kTestingStem + "9\r\n"), 1);
  EXPECT_EQ(log.Count(kTestingStem), 2) << "the remote control and the radio are not tested";
  // One redraw at the start, one per console after clearing, one per channel, one at the end.
  EXPECT_EQ(redraws, 1 + 2 + 4 + 3 + 1);
  EXPECT_GE(b.bench.platform.processEventsCalls, 7);
}

TEST(ChannelTestRun, StopEndsAfterTheChannelBeingMeasuredAndSkipsTheRest) {
  Bench3 b;
  ChannelTestRun run(*b.bench.controls, b.bench.platform);
  int channels = 0;
  // The operator's stop arrives while the second channel of console 2 is on screen.
  run.OnChannel = [&] {
    if (b.Measurements(2) == 2 && ++channels == 1) run.TestStop = true;
  };
  int current = -1;
  EXPECT_FALSE(run.TestAll(current));
  EXPECT_EQ(b.Measurements(2), 2);
  EXPECT_EQ(b.Measurements(9), 0) << "the next console is not tested";
  EXPECT_EQ(b.Console(2).ChannelState[2], 0) << "skipped channels stay unknown";
  EXPECT_EQ(current, b.bench.controls->FirstConsole());
}

TEST(ChannelTestRun, NotAConsoleOrNoConsolesTestsNothing) {
  BusBench bench;
  bench.AddRemote();
  bench.controls->Register(0, 0);
  ChannelTestRun run(*bench.controls, bench.platform);
  EXPECT_FALSE(run.TestConsoleAt(0));
  EXPECT_FALSE(run.TestConsoleAt(5));
  int current = 0;
  EXPECT_TRUE(run.TestAll(current));
  EXPECT_EQ(current, -1);
  EXPECT_EQ(bench.SentCount(0x83), 0);
}

}  // namespace
}  // namespace fd::devices
