// firnadesk-cli rehearse over a real serial line: firnadesk-bench serves the default bench (with a
// remote control) on a pseudo-terminal, the rehearsal plays a short show through it in real time,
// and the bench's fire log says what the consoles did.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/default_bench.h"
#include "tool_process.h"

namespace fd {
namespace {

using namespace fd::testing;

const bool kDummyAudio = (::setenv("SDL_AUDIODRIVER", "dummy", 1), true);

// One second of silence: 8 kHz, 16-bit, mono.
std::string SilentWav() {
  constexpr uint32_t kRate = 8000, kBytes = kRate * 2;
  std::string w;
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) w.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  auto u16 = [&](uint16_t v) {
    w.push_back(static_cast<char>(v & 0xFF));
    w.push_back(static_cast<char>(v >> 8));
  };
  w += "RIFF";
  u32(36 + kBytes);
  w += "WAVEfmt ";
  u32(16);
  u16(1);
  u16(1);
  u32(kRate);
  u32(kRate * 2);
  u16(2);
  u16(16);
  w += "data";
  u32(kBytes);
  w.append(kBytes, '\0');
  return w;
}

// The bench tool serving the default bench and a remote control on a link path.
class ServedBench {
 public:
  ServedBench()
      : benchFile_(WriteFile("remote.bench", std::string(sim::kDefaultBenchText) + "\nremote version 0A3\n")),
        link_(TempPath("link")),
        tool_({FIRNADESK_BENCH_TOOL, benchFile_, "--link", link_}) {
    slave_ = tool_.FirstLine();
  }
  ~ServedBench() {
    tool_.Send("quit");
    tool_.Wait(5000);
  }
  bool Ready() const { return slave_.rfind("/dev/pts/", 0) == 0; }
  const std::string& Link() const { return link_; }
  ToolProcess& Tool() { return tool_; }
  // The bench's fire log, as its "log" command prints it.
  std::string FireLog() {
    const size_t mark = tool_.OutputMark();
    tool_.Send("log");
    tool_.WaitForOutput("fire log:", mark);
    // The log ends with the entries; give the rest of it a moment to arrive.
    tool_.WaitForOutput("\n", tool_.OutputMark() + 1, 300);
    return tool_.Output().substr(mark);
  }

 private:
  std::string benchFile_;
  std::string link_;
  ToolProcess tool_;
  std::string slave_;
};

const std::string kShow = "0.3 1 1 first\n1 2 3\n1.8 6 2 last\n";

TEST(CliRehearseOverPty, DirectShowFiresEveryCueAndEndsWithSuccess) {
  ServedBench bench;
  ASSERT_TRUE(bench.Ready()) << bench.Tool().Error();
  ToolProcess cli({FIRNADESK_CLI, "rehearse", WriteFile("direct.txt", kShow), "--port", bench.Link()});
  ASSERT_EQ(cli.Wait(20'000), 0) << cli.Output() << cli.Error();
  EXPECT_TRUE(Has(cli.Output(), "Cues fired: 3 of 3\nCues not fired: 0\nFired without a cue: 0\n")) << cli.Output();
  EXPECT_TRUE(Has(cli.Output(), "Lateness (from the fire frames sent)")) << cli.Output();
  EXPECT_TRUE(Has(cli.Output(), "Show: ran to its end")) << cli.Output();
  const std::string log = bench.FireLog();
  for (const char* fired : {"console 1  channel 1  level 0  direct", "console 2  channel 3  level 0  direct",
                            "console 6  channel 2  level 0  direct"})
    EXPECT_TRUE(Has(log, fired)) << fired << "\n" << log;
}

TEST(CliRehearseOverPty, AutonomousShowWritesVerifiesAndCannotSeeTheFirings) {
  ServedBench bench;
  ASSERT_TRUE(bench.Ready()) << bench.Tool().Error();
  ToolProcess cli({FIRNADESK_CLI, "rehearse", WriteFile("auto.txt", kShow), "--port", bench.Link(), "--autonomous"});
  ASSERT_EQ(cli.Wait(30'000), 0) << cli.Output() << cli.Error();
  EXPECT_TRUE(Has(cli.Output(), "autonomous launch")) << cli.Output();
  EXPECT_TRUE(Has(cli.Output(), "Cues fired: not observable on this bus")) << cli.Output();
  const std::string log = bench.FireLog();
  for (const char* fired : {"console 1  channel 1  level 0  from memory", "console 2  channel 3  level 0  from memory",
                            "console 6  channel 2  level 0  from memory"})
    EXPECT_TRUE(Has(log, fired)) << fired << "\n" << log;
  EXPECT_FALSE(Has(log, "direct")) << "the program itself fires nothing in autonomous launch\n" << log;
}

TEST(CliRehearseOverPty, RemoteStopHalfWayEndsTheShowWithFailure) {
  ServedBench bench;
  ASSERT_TRUE(bench.Ready()) << bench.Tool().Error();
  ToolProcess cli(
      {FIRNADESK_CLI, "rehearse", WriteFile("stop.txt", "0.3 1 1\n3 2 3\n"), "--port", bench.Link(), "--json"});
  // The player logs each cue it fires on standard error.
  ASSERT_TRUE(cli.WaitForError("Запуск, пульт: 1, канал: 1", 15'000)) << cli.Error();
  bench.Tool().Send("remote-stop");
  ASSERT_EQ(cli.Wait(10'000), 1) << cli.Output() << cli.Error();
  EXPECT_TRUE(Has(cli.Output(), "\"ended\": \"bus\"")) << cli.Output();
  EXPECT_TRUE(Has(cli.Output(), "\"fired\": 1, \"not_fired\": 1")) << cli.Output();
  EXPECT_FALSE(Has(bench.FireLog(), "console 2")) << "the cue after the stop never fired";
}

// The bench times of the fire log's entries ("1769.645 ms  console 2  channel 1 ...").
std::vector<double> FiringTimes(const std::string& log) {
  std::vector<double> times;
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    double ms = 0;
    int console = 0;
    if (std::sscanf(line.c_str(), "%lf ms  console %d", &ms, &console) == 2) times.push_back(ms);
  }
  return times;
}

// The converter pulled during the show, the remote's stop pressed while the program cannot hear
// it, the converter back 0.8 s later: nothing fires after the stop (the program's stop frames go
// out on the replug, and nothing else it kept may wake the consoles again), and the report says
// the show ended for the lost converter with its stop delivered.
TEST(CliRehearseOverPty, ConverterLostAndRemoteStopWhileUnpluggedFireNothingAfterTheStop) {
  // One cue before the unplug, one while unplugged, two after the replug; console 4 hears each
  // command three times.
  const std::string show = "0.3 1 1\n0.8 2 3\n1.5 6 2\n2.0 4 5\n";
  for (const bool autonomous : {false, true}) {
    SCOPED_TRACE(autonomous ? "autonomous" : "direct");
    ServedBench bench;
    ASSERT_TRUE(bench.Ready()) << bench.Tool().Error();
    std::vector<std::string> args{FIRNADESK_CLI, "rehearse", WriteFile("unplug.txt", show), "--port", bench.Link()};
    if (autonomous) args.push_back("--autonomous");
    ToolProcess cli(args);
    // Logged as the first cue falls due, in either launch; consoles playing their memory may fire
    // it a few milliseconds later, so the pull waits for the firing itself.
    ASSERT_TRUE(cli.WaitForError("Запуск, пульт: 1, канал: 1", 30'000)) << cli.Error();
    for (int i = 0; i < 50 && !Has(bench.FireLog(), "console 1  channel 1"); ++i) ::usleep(10'000);
    size_t mark = bench.Tool().OutputMark();
    bench.Tool().Send("unplug");
    ASSERT_TRUE(bench.Tool().WaitForOutput("converter unplugged", mark)) << bench.Tool().Error();
    mark = bench.Tool().OutputMark();
    bench.Tool().Send("remote-stop");
    ASSERT_TRUE(bench.Tool().WaitForOutput(" (bench time)\n", mark)) << bench.Tool().Error();
    double stopMs = -1;
    const std::string said = bench.Tool().Output().substr(mark);
    ASSERT_EQ(std::sscanf(said.c_str(), "remote control: stop sent at %lf ms", &stopMs), 1) << said;
    ::usleep(800'000);
    mark = bench.Tool().OutputMark();
    bench.Tool().Send("replug");
    ASSERT_TRUE(bench.Tool().WaitForOutput("/dev/pts/", mark)) << bench.Tool().Error();

    ASSERT_EQ(cli.Wait(20'000), 1) << cli.Output() << cli.Error();
    EXPECT_TRUE(Has(cli.Output(), "Show: stopped: the converter was lost\n")) << cli.Output();
    // The stop could not go out while the converter was away, and went out when it was back.
    EXPECT_TRUE(Has(cli.Error(),
                    "stop not delivered, waiting up to 10 s for the converter\n"
                    "firnadesk-cli rehearse: the converter is back"))
        << cli.Error();
    EXPECT_FALSE(Has(cli.Output(), "Stop not delivered")) << "the stop went out on the replug\n" << cli.Output();
    // Wait out the cues after the replug before reading what the consoles did.
    ::usleep(2'000'000);
    const std::string log = bench.FireLog();
    const std::vector<double> times = FiringTimes(log);
    ASSERT_FALSE(times.empty()) << "the first cue fired before the unplug\n" << log;
    EXPECT_TRUE(Has(log, "console 1  channel 1")) << log;
    for (const double at : times) EXPECT_LE(at, stopMs) << "a console fired after the remote's stop\n" << log;
  }
}

TEST(CliRehearseOverPty, PlaysASoundtrackAndRefusesOneThatDoesNotLoad) {
  ServedBench bench;
  ASSERT_TRUE(bench.Ready()) << bench.Tool().Error();
  const std::string show = WriteFile("sound.txt", "0.2 1 1\n0.6 2 3\n");
  ToolProcess cli(
      {FIRNADESK_CLI, "rehearse", show, "--port", bench.Link(), "--soundtrack", WriteFile("silence.wav", SilentWav())});
  ASSERT_EQ(cli.Wait(20'000), 0) << cli.Output() << cli.Error();
  EXPECT_TRUE(Has(cli.Output(), "Cues fired: 2 of 2")) << cli.Output();

  ToolProcess bad({FIRNADESK_CLI, "rehearse", show, "--port", bench.Link(), "--soundtrack",
                   WriteFile("noise.wav", "RIFF not a sound")});
  EXPECT_EQ(bad.Wait(20'000), 1) << bad.Output() << bad.Error();
  EXPECT_TRUE(Has(bad.Error(), "Ошибка: Ошибка загрузки фонограммы")) << bad.Error();
  EXPECT_EQ(bad.Output(), "");
  // Only the first run fired: the refused one never started its show.
  const std::string log = bench.FireLog();
  size_t firings = 0;
  for (size_t at = log.find("console 1  channel 1"); at != std::string::npos;
       at = log.find("console 1  channel 1", at + 1))
    ++firings;
  EXPECT_EQ(firings, 1u) << log;
}

TEST(CliRehearseSimulated, RunsOnTheInProcessBenchAndStopsOnCtrlC) {
  const std::string show = WriteFile("bench.txt", "0.2 1 1\n0.5 4 5\n0.9 7 #C\n");
  ToolProcess cli({FIRNADESK_CLI, "rehearse", show, "--simulate", "--json"});
  ASSERT_EQ(cli.Wait(20'000), 0) << cli.Output() << cli.Error();
  EXPECT_TRUE(Has(cli.Output(), "\"lateness_from\": \"the bench's fire log\", \"fired\": 3, \"not_fired\": 0"))
      << cli.Output();

  ToolProcess stopped({FIRNADESK_CLI, "rehearse", WriteFile("long.txt", "0.2 1 1\n5 2 3\n"), "--simulate"});
  ASSERT_TRUE(stopped.WaitForError("Запуск, пульт: 1, канал: 1", 15'000)) << stopped.Error();
  ::kill(stopped.Pid(), SIGINT);
  ASSERT_EQ(stopped.Wait(5000), 1) << stopped.Output() << stopped.Error();
  EXPECT_TRUE(Has(stopped.Output(), "Cues fired: 1 of 2")) << stopped.Output();
  EXPECT_TRUE(Has(stopped.Output(), "Show: stopped by the operator")) << stopped.Output();
}

}  // namespace
}  // namespace fd

namespace fd {
namespace {

TEST(CliChannelTestOverPty, CtrlCStopsAfterTheChannelBeingMeasuredAndReportsWhatWasTested) {
  ServedBench bench;
  ASSERT_TRUE(bench.Ready()) << bench.Tool().Error();
  ToolProcess cli(
      {FIRNADESK_CLI, "test", "--port", bench.Link(), "--scenario", WriteFile("test.txt", "1 1 1\n2 4 1\n")});
  ASSERT_TRUE(cli.WaitForError("Тестирование устройства, ID=4", 15'000)) << cli.Error();
  ::kill(cli.Pid(), SIGINT);
  ASSERT_EQ(cli.Wait(5000), 1) << cli.Output() << cli.Error();
  EXPECT_TRUE(Has(cli.Output(), "Console 1 (firmware 147, 16 channels)\n    1-16  +* +  o  +")) << cli.Output();
  EXPECT_TRUE(Has(cli.Output(), "Console 4 (firmware 168, 32 channels)")) << cli.Output();
  EXPECT_TRUE(Has(cli.Output(), "  (stopped: the channels marked ? were not tested)\n")) << cli.Output();
  EXPECT_TRUE(Has(cli.Output(), "Stopped by the operator.\n")) << cli.Output();
}

}  // namespace
}  // namespace fd
