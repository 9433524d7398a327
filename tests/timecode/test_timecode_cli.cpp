// firnadesk-cli timecode on sound files, as the operator runs it: the summary's exact lines, the
// same in JSON, and the refusals with their exit status.
#include <gtest/gtest.h>

#include <fstream>

#include "show/cli_run.h"
#include "show/scenario_files.h"
#include "timecode/ltc_signal.h"

namespace fd::timecode {
namespace {

using testing::LabelAfter;
using testing::LtcSignalSpec;

// Each test in a folder of its own: ctest runs them side by side, and the program's output is
// caught in files there.
class TimecodeCli : public ::testing::Test {
 protected:
  std::string Folder() const { return folder.Path(""); }

  void WriteSignal(const std::string& name, const LtcSignalSpec& spec) const {
    const testing::LtcSignal signal = testing::MakeLtcSignal(spec);
    ASSERT_TRUE(testing::WriteWav(folder.Path(name), signal.samples, signal.sampleRate));
  }

  testing::CliOutcome RunTimecode(const std::string& arguments) const {
    return testing::RunCli(FIRNADESK_CLI, Folder(), arguments);
  }

  show::testing::ScenarioFolder folder;
};

// A tape at 25 with the cable pulled for a second at 3 s and a jump ten seconds back at 5 s: 200
// frames less the 25 silenced, the one cut by the dropout (01:00:02:24, no frame) and the last (the
// edge that would close it is past the end). The gap runs from the end of the frame before it.
TEST_F(TimecodeCli, SummaryOfASoundFile) {
  LtcSignalSpec spec;
  spec.seconds = 8;
  spec.dropouts.push_back({3.0, 1.0});
  spec.jumps.push_back({5.0, LabelAfter(spec.start, FrameRate::Fps25, 5.0 - 10.0)});
  WriteSignal("tape25.wav", spec);
  const auto text = RunTimecode("timecode tape25.wav");
  EXPECT_EQ(text.exitCode, 0) << text.err;
  EXPECT_EQ(text.err, "");
  EXPECT_EQ(text.out,
            "timecode: 01:00:00:00 to 00:59:57:23\n"
            "rate: 25\n"
            "frames: 173 decoded, 1 rejected\n"
            "dropouts: 1\n"
            "  at 2.960 s, after 01:00:02:23: 1.040 s without timecode\n"
            "jumps: 1\n"
            "  at 5.000 s: 01:00:04:24 -> 00:59:55:00 (-10.000 s)\n"
            "duration: 8.000 s\n");
}

// At 29.97 drop-frame over a minute boundary, with the labels moved 20 s on at 2 s (frame 60, heard
// at 2.002 s, where 10:01:01;02 was due: 599 frames further, 19.987 s).
TEST_F(TimecodeCli, SummaryAsJson) {
  LtcSignalSpec spec;
  spec.rate = FrameRate::Fps2997Drop;
  spec.start = Timecode{10, 0, 59, 0};
  spec.seconds = 4;
  spec.jumps.push_back({2.0, LabelAfter(spec.start, FrameRate::Fps2997Drop, 2.0 + 20.0)});
  WriteSignal("tape2997.wav", spec);
  const auto json = RunTimecode("timecode tape2997.wav --json");
  EXPECT_EQ(json.exitCode, 0) << json.err;
  EXPECT_EQ(json.out,
            "{\n"
            "  \"source\": \"tape2997.wav\",\n"
            "  \"first\": \"10:00:59;00\",\n"
            "  \"last\": \"10:01:22;29\",\n"
            "  \"rate\": \"29.97df\",\n"
            "  \"frames\": 119,\n"
            "  \"rejected\": 0,\n"
            "  \"dropouts\": [],\n"
            "  \"jumps\": [\n"
            "    {\n"
            "      \"at_s\": 2.002,\n"
            "      \"from\": \"10:01:01;01\",\n"
            "      \"to\": \"10:01:21;01\",\n"
            "      \"by_s\": 19.987\n"
            "    }\n"
            "  ],\n"
            "  \"duration_s\": 4.0\n"
            "}\n");
}

struct RefusalCase {
  const char* arguments;
  int exitCode;
  const char* err;
};

TEST_F(TimecodeCli, RefusedSources) {
  std::ofstream(folder.Path("notes.txt")) << "cue list, not a sound\n";
  LtcSignalSpec silent;
  silent.seconds = 1;
  silent.dropouts.push_back({0.0, 1.0});  // the cable out for the whole second
  WriteSignal("silence.wav", silent);
  const RefusalCase cases[] = {
      {"timecode missing.wav", 2, "firnadesk-cli timecode: file not found: \"missing.wav\"\n"},
      {"timecode notes.txt", 2, "firnadesk-cli timecode: not a sound file: \"notes.txt\" ("},
      {"timecode .", 2, "firnadesk-cli timecode: not a regular file: \".\"\n"},
      {"timecode silence.wav", 1, "firnadesk-cli timecode: no timecode found in silence.wav\n"},
      {"timecode silence.wav --channel 2", 2, "firnadesk-cli timecode: no channel 2 in \"silence.wav\" (it has 1)\n"},
      {"timecode", 2,
       "firnadesk-cli timecode: name the source (capture, capture:NAME or a sound file)\n"
       "usage: firnadesk-cli timecode SOURCE [--channel N] [--json]\n"},
      {"timecode capture:", 2,
       "firnadesk-cli timecode: capture: needs a device name (capture alone is the default device)\n"
       "usage: firnadesk-cli timecode SOURCE [--channel N] [--json]\n"},
  };
  for (const RefusalCase& c : cases) {
    const auto outcome = RunTimecode(c.arguments);
    EXPECT_EQ(outcome.exitCode, c.exitCode) << c.arguments;
    EXPECT_EQ(outcome.out, "") << c.arguments;
    const std::string err = c.err;
    if (err.back() == '(') {
      EXPECT_EQ(outcome.err.substr(0, err.size()), err) << outcome.err;
    } else {
      EXPECT_EQ(outcome.err, err) << c.arguments;
    }
  }
  // With --json a file without timecode still gives its document, and fails.
  const auto json = RunTimecode("timecode silence.wav --json");
  EXPECT_EQ(json.exitCode, 1);
  EXPECT_NE(json.out.find("  \"first\": null,\n"), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("  \"frames\": 0,\n"), std::string::npos) << json.out;
}

}  // namespace
}  // namespace fd::timecode
