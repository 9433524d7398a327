// firnadesk-cli rehearse chasing timecode over a real serial line: firnadesk-bench serves the
// default bench on a pseudo-terminal, the rehearsal chases a sound file of LTC (a second of
// pre-roll, a second without timecode and a jump 20 s forward within the show), and the bench's
// fire log says what the consoles did: the cues jumped over never fired, every other one fired once.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>

#include "sim/default_bench.h"
#include "timecode/ltc_signal.h"
#include "tool_process.h"

namespace fd {
namespace {

using namespace fd::testing;

const bool kDummyAudio = (::setenv("SDL_AUDIODRIVER", "dummy", 1), true);

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// 25 fps from 00:59:59:00, the offset 01:00:00:00 a second in; silent from show time 1 s to 2 s;
// at show time 3 s the labels jump to 01:00:23:00, and run on to show time 25.5 s.
std::string LtcWav() {
  LtcSignalSpec spec;
  spec.start = {0, 59, 59, 0};
  spec.seconds = 6.5;
  spec.sampleRate = 16000;
  spec.dropouts = {{2.0, 1.0}};
  spec.jumps = {{4.0, {1, 0, 23, 0}}};
  const LtcSignal signal = MakeLtcSignal(spec);
  const std::string path = TempPath("ltc.wav");
  EXPECT_TRUE(WriteWav(path, signal.samples, signal.sampleRate));
  return path;
}

// Lines 4 to 6 lie in the span the timecode jumps over; line 2 falls due in the dropout.
const std::string kShow =
    "0.5 1 1\n"
    "1.5 2 3\n"
    "2.5 6 2\n"
    "5 1 2\n"
    "10 2 4\n"
    "20 6 3\n"
    "24 2 5\n";

TEST(CliTimecodeOverPty, ChasedShowSkipsTheJumpedSpanAndFiresEveryOtherCueOnce) {
  const std::string link = TempPath("link");
  ToolProcess bench({FIRNADESK_BENCH_TOOL, WriteFile("default.bench", sim::kDefaultBenchText), "--link", link});
  ASSERT_EQ(bench.FirstLine().rfind("/dev/pts/", 0), 0u) << bench.Error();
  const std::string wav = LtcWav();

  ToolProcess cli({FIRNADESK_CLI, "rehearse", WriteFile("chase.txt", kShow), "--port", link, "--timecode", wav,
                   "--timecode-offset", "01:00:00:00"});
  ASSERT_EQ(cli.Wait(40'000), 0) << cli.Output() << cli.Error();
  const std::string said[] = {"Timecode: " + wav + ", offset 01:00:00:00\n",
                              "  lock after 10 frames\n  locked at -0:00:00.6",
                              "  dropout at 0:00:01.0",
                              "  back at 0:00:02.",
                              "  jump at 0:00:23.1",
                              " -> 0:00:23.1",
                              "  skipped: line 4 at 0:00:05.000, console 1 channel 2 (timecode_jump)\n"
                              "  skipped: line 5 at 0:00:10.000, console 2 channel 4 (timecode_jump)\n"
                              "  skipped: line 6 at 0:00:20.000, console 6 channel 3 (timecode_jump)\n",
                              "Cues fired: 4 of 4\nCues not fired: 0\nCues skipped: 3\nFired without a cue: 0\n",
                              "Show: ran to its end\n"};
  for (const std::string& line : said) EXPECT_TRUE(Has(cli.Output(), line)) << line << "\n" << cli.Output();

  const std::string log = BenchFireLog(bench);
  ASSERT_TRUE(Has(log, "fire log:\n")) << bench.Error();
  // The cues jumped over never fired, every other one once.
  const std::pair<const char*, size_t> fired[] = {{"console 1  channel 1 ", 1}, {"console 2  channel 3 ", 1},
                                                  {"console 6  channel 2 ", 1}, {"console 2  channel 5 ", 1},
                                                  {"console 1  channel 2 ", 0}, {"console 2  channel 4 ", 0},
                                                  {"console 6  channel 3 ", 0}};
  for (const auto& [target, times] : fired) EXPECT_EQ(Count(log, target), times) << target << "\n" << log;
  bench.Send("quit");
  bench.Wait(5000);
}

}  // namespace
}  // namespace fd
