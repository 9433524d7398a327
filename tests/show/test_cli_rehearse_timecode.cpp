// firnadesk-cli rehearse --timecode, run as the operator runs it: what it refuses, and a short show
// chasing a sound file of LTC on the in-process bench (a few seconds of real time).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli_run.h"
#include "scenario_files.h"
#include "timecode/ltc_signal.h"

namespace fd::show {
namespace {

using fd::testing::CliOutcome;

// Quoted for the shell; appended in place (GCC 12 at -O3 takes "'" + temporary for an overlap).
std::string Quoted(const std::string& text) {
  std::string quoted(1, '\'');
  quoted += text;
  quoted += '\'';
  return quoted;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const bool kDummyAudio = (::setenv("SDL_AUDIODRIVER", "dummy", 1), true);

// Cues at 0.5, 1.5, 2.5 and 4.5 s; the one at 2.5 s lies in the span the timecode jumps over.
const std::string kShow = "0.5 1 1\n1.5 2 3\n2.5 6 2\n4.5 1 2\n";

class RehearseTimecode : public ::testing::Test {
 protected:
  CliOutcome Run(const std::string& arguments) {
    return fd::testing::RunCli(FIRNADESK_CLI, folder.Path("") + "/", "rehearse " + arguments);
  }
  std::string Show() { return Quoted(folder.Write("show.txt", kShow)) + " --simulate"; }
  // 25 fps from 00:59:59:00 (a second of pre-roll before the offset 01:00:00:00), half a second
  // without timecode at show time 0.6 s, a jump from show time 2.0 s to 4.0 s, on to show time 6 s.
  std::string Wav() {
    fd::testing::LtcSignalSpec spec;
    spec.start = {0, 59, 59, 0};
    spec.seconds = 7;
    spec.sampleRate = 16000;
    spec.dropouts = {{1.6, 0.5}};
    spec.jumps = {{3.0, {1, 0, 4, 0}}};
    const fd::testing::LtcSignal signal = fd::testing::MakeLtcSignal(spec);
    const std::string path = folder.Path("ltc.wav");
    EXPECT_TRUE(fd::testing::WriteWav(path, signal.samples, signal.sampleRate));
    return path;
  }

  testing::ScenarioFolder folder;
};

TEST_F(RehearseTimecode, RefusesWhatItCannotChase) {
  const std::string wav = Wav();
  struct Case {
    std::string arguments;
    int exitCode;
    std::string message;
  };
  const Case cases[] = {
      {Show() + " --timecode " + Quoted(wav) + " --timecode-offset 1:00:00", 2,
       "firnadesk-cli rehearse: --timecode-offset takes a timecode HH:MM:SS:FF (01:00:00:00; hours 0..23, frames "
       "0..29), not \"1:00:00\""},
      {Show() + " --timecode " + Quoted(wav) + " --timecode-offset 24:00:00:00", 2, "not \"24:00:00:00\""},
      {Show() + " --timecode " + Quoted(folder.Path("missing.wav")), 2,
       "firnadesk-cli rehearse: --timecode: file not found: \"" + folder.Path("missing.wav") + "\""},
      {Show() + " --timecode " + Quoted(folder.Path("")), 2, "firnadesk-cli rehearse: --timecode: not a regular file"},
      {Show() + " --timecode " + Quoted(wav) + " --resume " + Quoted(folder.Path("j.jsonl")), 2,
       "--resume carries on on the show's own clock: no --timecode"},
      {Show() + " --timecode-offset 01:00:00:00", 2, "--timecode-offset goes with --timecode"},
  };
  for (const Case& c : cases) {
    const CliOutcome o = Run(c.arguments);
    EXPECT_EQ(o.exitCode, c.exitCode) << c.arguments << "\n" << o.err;
    EXPECT_TRUE(Has(o.err, c.message)) << c.arguments << "\n" << o.err;
    EXPECT_FALSE(Has(o.err, "armed at")) << "refused before the show: " << c.arguments;
  }
}

TEST_F(RehearseTimecode, ChasesAFileAndReportsWhatTheTimecodeDid) {
  const std::string wav = Wav();
  const std::string chase = " --timecode " + Quoted(wav) + " --timecode-offset 01:00:00:00";
  const CliOutcome text = Run(Show() + chase);
  ASSERT_EQ(text.exitCode, 0) << text.out << text.err;
  for (const std::string& line :
       {"Timecode: " + wav + ", offset 01:00:00:00\n", std::string("  lock after 10 frames\n  locked at -0:00:00.6"),
        std::string("  dropout at 0:00:00."), std::string("  back at 0:00:01."), std::string("  jump at 0:00:04."),
        std::string("  skipped: line 3 at 0:00:02.500, console 6 channel 2 (timecode_jump)\n"),
        std::string("Cues fired: 3 of 3\n"), std::string("Cues not fired: 0\n"), std::string("Cues skipped: 1\n"),
        std::string("Fired without a cue: 0\n"), std::string("Show: ran to its end\n")})
    EXPECT_TRUE(Has(text.out, line)) << line << "\n" << text.out;
  EXPECT_TRUE(Has(text.err, "armed at 0:00:00.000, chasing " + wav + " (offset 01:00:00:00)")) << text.err;

  const std::string journals = folder.Path("journals");
  const CliOutcome json = Run(Show() + chase + " --json --journal-dir " + Quoted(journals));
  ASSERT_EQ(json.exitCode, 0) << json.out << json.err;
  const nlohmann::json doc = nlohmann::json::parse(json.out);
  const nlohmann::json& tc = doc["timecode"];
  EXPECT_EQ(tc["source"], wav);
  EXPECT_EQ(tc["offset"], "01:00:00:00");
  EXPECT_EQ(tc["lock"]["rate"], "25");
  EXPECT_LT(tc["lock"]["show_ms"].get<double>(), 0) << "locked in the pre-roll";
  EXPECT_EQ(tc["lock_frames"], 10);
  ASSERT_EQ(tc["dropouts_ms"].size(), 1u) << tc.dump();
  ASSERT_EQ(tc["jumps"].size(), 1u) << tc.dump();
  EXPECT_NEAR(tc["jumps"][0]["to_ms"].get<double>() - tc["jumps"][0]["from_ms"].get<double>(), 2000, 80);
  EXPECT_EQ(tc["skipped"].dump(),
            R"([{"console":6,"fires":"channel 2","line":3,"reason":"timecode_jump","time_ms":2500}])");
  EXPECT_GT(tc["error_samples"].get<int>(), 20);
  EXPECT_LT(tc["error_max_ms"].get<double>(), 5.0);
  EXPECT_EQ(doc["summary"]["skipped"], 1);
  EXPECT_EQ(doc["summary"]["fired"], 3);
  EXPECT_EQ(doc["cues"][2]["skipped"], "timecode_jump");
  EXPECT_TRUE(doc["cues"][2]["fired_ms"].is_null());
  // The fired cues' show times are read off the chased clock: on time, not 2 s early for the jump.
  for (const int i : {0, 1, 3}) EXPECT_LT(std::abs(doc["cues"][i]["lateness_ms"].get<double>()), 60) << i;

  // The journal names the source and offset and ends with the chase's figures.
  std::string journalText;
  for (const auto& entry : std::filesystem::directory_iterator(journals))
    journalText = fd::testing::Slurp(entry.path());
  EXPECT_TRUE(Has(journalText, "\"timecode\":{\"source\":\"" + wav + "\",\"offset\":\"01:00:00:00\"}")) << journalText;
  EXPECT_TRUE(Has(journalText, "\"event\":\"timecode_summary\"")) << journalText;
  EXPECT_TRUE(Has(journalText, "\"reason\":\"timecode_jump\"")) << journalText;
}

// A file that ends before its timecode reaches the start position leaves nothing to start the
// show: the rehearsal says so and fails rather than waiting for ever.
TEST_F(RehearseTimecode, GivesUpWhenTheFileEndsBeforeTheStart) {
  const CliOutcome o = Run(Show() + " --timecode " + Quoted(Wav()) + " --timecode-offset 01:00:10:00 --from 4");
  EXPECT_EQ(o.exitCode, 1) << o.out << o.err;
  EXPECT_TRUE(Has(o.err, "firnadesk-cli rehearse: the timecode from " + Wav() +
                             " ended before it reached the start position: the show did not start"))
      << o.err;
  EXPECT_TRUE(Has(o.out, "Show: did not start: the timecode did not lock\n")) << o.out;
}

}  // namespace
}  // namespace fd::show
