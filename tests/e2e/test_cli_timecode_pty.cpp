// firnadesk-cli rehearse chasing timecode over a real serial line: firnadesk-bench serves the
// default bench on a pseudo-terminal, the rehearsal chases a sound file of LTC (a second of
// pre-roll, a second without timecode and a jump 20 s forward within the show), and the bench's
// fire log says what the consoles did: the cues jumped over never fired, every other one fired once.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "sim/default_bench.h"
#include "timecode/ltc_signal.h"
#include "tool_process.h"

namespace fd {
namespace {

using fd::testing::ToolProcess;

const bool kDummyAudio = (::setenv("SDL_AUDIODRIVER", "dummy", 1), true);

std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "firnadesk-chase-" + std::to_string(::getpid()) + "-" + name;
}

std::string WriteFile(const std::string& name, const std::string& bytes) {
  const std::string path = TempPath(name);
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// 25 fps from 00:59:59:00, the offset 01:00:00:00 a second in; silent from show time 1 s to 2 s;
// at show time 3 s the labels jump to 01:00:23:00, and run on to show time 25.5 s.
std::string LtcWav() {
  fd::testing::LtcSignalSpec spec;
  spec.start = {0, 59, 59, 0};
  spec.seconds = 6.5;
  spec.sampleRate = 16000;
  spec.dropouts = {{2.0, 1.0}};
  spec.jumps = {{4.0, {1, 0, 23, 0}}};
  const fd::testing::LtcSignal signal = fd::testing::MakeLtcSignal(spec);
  const std::string path = TempPath("ltc.wav");
  EXPECT_TRUE(fd::testing::WriteWav(path, signal.samples, signal.sampleRate));
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
  const std::string benchFile = WriteFile("default.bench", sim::kDefaultBenchText);
  const std::string link = TempPath("link");
  ToolProcess bench({FIRNADESK_BENCH_TOOL, benchFile, "--link", link});
  ASSERT_EQ(bench.FirstLine().rfind("/dev/pts/", 0), 0u) << bench.Error();
  const std::string wav = LtcWav();

  ToolProcess cli({FIRNADESK_CLI, "rehearse", WriteFile("chase.txt", kShow), "--port", link, "--timecode", wav,
                   "--timecode-offset", "01:00:00:00"});
  ASSERT_EQ(cli.Wait(40'000), 0) << cli.Output() << cli.Error();
  const std::string& out = cli.Output();
  for (const std::string& line :
       {"Timecode: " + wav + ", offset 01:00:00:00\n", std::string("  lock after 10 frames\n  locked at -0:00:00.6"),
        std::string("  dropout at 0:00:01.0"), std::string("  back at 0:00:02."), std::string("  jump at 0:00:23.1"),
        std::string(" -> 0:00:23.1"),
        std::string("  skipped: line 4 at 0:00:05.000, console 1 channel 2 (timecode_jump)\n"
                    "  skipped: line 5 at 0:00:10.000, console 2 channel 4 (timecode_jump)\n"
                    "  skipped: line 6 at 0:00:20.000, console 6 channel 3 (timecode_jump)\n"),
        std::string("Cues fired: 4 of 4\nCues not fired: 0\nCues skipped: 3\n"
                    "Fired without a cue: 0\n"),
        std::string("Show: ran to its end\n")})
    EXPECT_TRUE(Has(out, line)) << line << "\n" << out;

  const size_t mark = bench.OutputMark();
  bench.Send("log");
  ASSERT_TRUE(bench.WaitForOutput("fire log:", mark)) << bench.Error();
  bench.WaitForOutput("\n", bench.OutputMark() + 1, 300);
  const std::string log = bench.Output().substr(mark);
  for (const char* once :
       {"console 1  channel 1 ", "console 2  channel 3 ", "console 6  channel 2 ", "console 2  channel 5 "})
    EXPECT_EQ(Count(log, once), 1u) << once << "\n" << log;
  for (const char* never : {"console 1  channel 2 ", "console 2  channel 4 ", "console 6  channel 3 "})
    EXPECT_EQ(Count(log, never), 0u) << never << "\n" << log;
  bench.Send("quit");
  bench.Wait(5000);
}

}  // namespace
}  // namespace fd
