// The rehearsal's report: fire frames and the bench's firings matched to the cues, the summary an
// operator reads, and the exit status a script acts on.
#include <gtest/gtest.h>

#include "cue_builders.h"
#include "rehearsal.h"

namespace fd::cli {
namespace {

using namespace testing_cues;

SentFrame Fire(int console, int wireChannel, int32_t showMs) {
  return {bus::Frame6{0x84, static_cast<uint8_t>(wireChannel & 0xFF), static_cast<uint8_t>(wireChannel >> 8), 0x80,
                      0x00, static_cast<uint8_t>(console)},
          showMs};
}

SentFrame MotionFrame(int console, uint8_t subCode, int32_t showMs) {
  return {bus::Frame6{0x8C, subCode, 255, 0, 0, static_cast<uint8_t>(console)}, showMs};
}

// A firing on the bench, for a show that started at bench time 5 s with show time fromMs.
sim::FireEntry Fired(int console, int wireChannel, double showMs, int32_t fromMs = 0) {
  sim::FireEntry e;
  e.console = console;
  e.channel = wireChannel;
  e.timeUs = 5'000'000 + static_cast<uint64_t>((showMs - fromMs) * 1000);
  return e;
}

sim::FireEntry FiredMotion(int console, uint8_t subCode, double showMs, int32_t fromMs = 0) {
  sim::FireEntry e = Fired(console, 0, showMs, fromMs);
  e.kind = sim::FireKind::Motion;
  e.motionCode = subCode;
  return e;
}

std::vector<devices::CueRecord> Show() {
  return {Channel(1000, 1, 1), Channel(2000, 2, 3), Channel(2000, 4, 300), Motion(3000, 7, devices::MotionC)};
}

// Ninety cues at one instant on three consoles, and their firings as a bus delivers them: one
// every 10 ms, the last 890 ms after the cue.
std::vector<devices::CueRecord> Burst() {
  std::vector<devices::CueRecord> cues;
  for (int i = 0; i < 90; ++i) cues.push_back(Channel(1000, 1 + i % 3, 1 + i / 3));
  return cues;
}
std::vector<sim::FireEntry> BurstFired() {
  std::vector<sim::FireEntry> fired;
  for (int i = 0; i < 90; ++i) fired.push_back(Fired(1 + i % 3, 1 + i / 3, 1000 + 10 * i));
  return fired;
}
std::vector<SentFrame> BurstSent() {
  std::vector<SentFrame> sent;
  for (int i = 0; i < 90; ++i) sent.push_back(Fire(1 + i % 3, 1 + i / 3, 1000 + 10 * i));
  return sent;
}

TEST(RehearsalReport, MatchesFramesAndFiringsToCuesAndJudgesTheShow) {
  struct Case {
    const char* name;
    bool autonomous;
    bool bench;
    int32_t fromMs;
    std::vector<SentFrame> sent;
    std::vector<sim::FireEntry> fired;
    ShowEnd end;
    // expected
    int rows, firedCount, notFired, unasked;
    bool observable;
    double max;
    int exit;
    int doubles = 0;
    std::vector<int> thrice = {};               // consoles that hear each command three times
    std::vector<devices::CueRecord> cues = {};  // Show() when empty
  } cases[] = {
      // clang-format off
      {"direct on a line, every frame went out", false, false, 0,
       {Fire(1, 1, 1004), Fire(2, 3, 2003), Fire(4, 300, 2010), MotionFrame(7, 0x98, 3001)}, {},
       ShowEnd::Finished, 4, 4, 0, 0, true, 10, 0},
      {"direct on a line, a frame missing and one nobody asked for", false, false, 0,
       {Fire(1, 1, 1004), Fire(2, 3, 2003), Fire(2, 4, 2003), MotionFrame(7, 0x98, 3001)}, {},
       ShowEnd::Finished, 4, 3, 1, 1, true, 4, 1},
      {"a frame far later than its cue is still its cue's, and its lateness shows it", false, false, 0,
       {Fire(1, 1, 1900), Fire(2, 3, 2003), Fire(4, 300, 2003), MotionFrame(7, 0x98, 3001)}, {},
       ShowEnd::Finished, 4, 4, 0, 0, true, 900, 0},
      {"stopped by the operator before the end", false, false, 0, {Fire(1, 1, 1004)}, {},
       ShowEnd::Operator, 4, 1, 3, 0, true, 4, 1},
      {"stopped by the bus", false, false, 0, {}, {}, ShowEnd::Bus, 4, 0, 4, 0, true, 0, 1},
      {"from 2 s: the first cue is not part of the run", false, false, 2000,
       {Fire(2, 3, 2003), Fire(4, 300, 2005), MotionFrame(7, 0x98, 3001)}, {},
       ShowEnd::Finished, 3, 3, 0, 0, true, 5, 0},
      {"autonomous on a line: firing not observable, nothing sent", true, false, 0, {}, {},
       ShowEnd::Finished, 4, 0, 0, 0, false, 0, 0},
      {"autonomous on a line: a fire frame sent is unasked", true, false, 0, {Fire(1, 1, 1004)}, {},
       ShowEnd::Finished, 4, 0, 0, 1, false, 0, 1},
      {"direct on the bench: the fire log decides, and a second firing is a double", false, true, 0,
       {Fire(1, 1, 1004), Fire(2, 3, 2003), Fire(4, 300, 2010), MotionFrame(7, 0x98, 3001)},
       {Fired(1, 1, 1005), Fired(2, 3, 2004), Fired(4, 300, 2011), Fired(4, 300, 2020)},
       ShowEnd::Finished, 4, 3, 1, 1, true, 11, 1, 1},
      {"a console that hears a command three times fires it three times: one firing", false, true, 0, {},
       {Fired(1, 1, 1005), Fired(2, 3, 2004), Fired(4, 300, 2011), Fired(4, 300, 2015), Fired(4, 300, 2020),
        FiredMotion(7, 0x98, 3004), FiredMotion(7, 0x98, 3030)},
       ShowEnd::Finished, 4, 4, 0, 0, true, 11, 0, 0, {4, 7}},
      {"a fourth copy, or one long after, is a double even there", false, true, 0, {},
       {Fired(1, 1, 1005), Fired(2, 3, 2004), Fired(4, 300, 2011), Fired(4, 300, 2015), Fired(4, 300, 2020),
        Fired(4, 300, 2025), FiredMotion(7, 0x98, 3004), FiredMotion(7, 0x98, 3500)},
       ShowEnd::Finished, 4, 4, 0, 2, true, 11, 1, 2, {4, 7}},
      {"autonomous on the bench: every console fired from memory", true, true, 0, {},
       {Fired(1, 1, 1005), Fired(2, 3, 2005), Fired(4, 300, 2005), FiredMotion(7, 0x98, 3005)},
       ShowEnd::Finished, 4, 4, 0, 0, true, 5, 0},
      {"on the bench a console that fired unasked, once: no double", false, true, 2000, {},
       {Fired(2, 3, 2004, 2000), Fired(4, 300, 2004, 2000), Fired(9, 1, 2500, 2000), FiredMotion(7, 0x98, 3005, 2000)},
       ShowEnd::Finished, 3, 3, 0, 1, true, 5, 1},
      {"an unasked target that fires again is a double too", false, true, 2000, {},
       {Fired(2, 3, 2004, 2000), Fired(4, 300, 2004, 2000), Fired(9, 1, 2500, 2000), Fired(9, 1, 2600, 2000),
        FiredMotion(7, 0x98, 3005, 2000)},
       ShowEnd::Finished, 3, 3, 0, 2, true, 5, 1, 1},
      {"a line's fire frame sent twice for one cue is a double", false, false, 2000,
       {Fire(2, 3, 2003), Fire(2, 3, 2500), Fire(4, 300, 2005), MotionFrame(7, 0x98, 3001)}, {},
       ShowEnd::Finished, 3, 3, 0, 1, true, 5, 1, 1},
      {"ninety cues at one instant on the bench: every one fired, however long the bus took", false, true, 0, {},
       BurstFired(), ShowEnd::Finished, 90, 90, 0, 0, true, 890, 0, 0, {}, Burst()},
      {"ninety cues at one instant on a line", false, false, 0, BurstSent(), {},
       ShowEnd::Finished, 90, 90, 0, 0, true, 890, 0, 0, {}, Burst()},
      {"one target asked twice at one instant fires twice: both cues", false, true, 0, {},
       {Fired(1, 1, 1005), Fired(1, 1, 1012)},
       ShowEnd::Finished, 2, 2, 0, 0, true, 12, 0, 0, {}, {Channel(1000, 1, 1), Channel(1000, 1, 1)}},
      {"the n-th firing of a target answers its n-th cue", false, true, 0, {},
       {Fired(1, 1, 1005), Fired(1, 1, 3020), Fired(1, 1, 3030)},
       ShowEnd::Finished, 2, 2, 0, 1, true, 20, 1, 1, {}, {Channel(1000, 1, 1), Channel(3000, 1, 1)}},
      // clang-format on
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RehearsalRun run;
    run.cues = c.cues.empty() ? Show() : c.cues;
    run.fromMs = c.fromMs;
    run.autonomous = c.autonomous;
    run.sent = c.sent;
    run.fireLogKnown = c.bench;
    run.fireLog = c.fired;
    run.showStartUs = 5'000'000;
    run.end = c.end;
    run.thriceHeardConsoles = c.thrice;
    const RehearsalReport r = BuildRehearsalReport(run);
    EXPECT_EQ(static_cast<int>(r.rows.size()), c.rows);
    EXPECT_EQ(r.firingObservable, c.observable);
    EXPECT_EQ(r.fired, c.firedCount);
    EXPECT_EQ(r.notFired, c.notFired);
    EXPECT_EQ(static_cast<int>(r.unasked.size()), c.unasked);
    EXPECT_EQ(static_cast<int>(r.doubles.size()), c.doubles);
    EXPECT_NEAR(r.max, c.max, 0.01);
    EXPECT_EQ(r.ExitStatus(), c.exit);
    const Json summary = RehearsalSummaryJson(r);
    EXPECT_EQ(summary["exit_status"], c.exit);
    EXPECT_EQ(summary["double_firings"].size(), static_cast<size_t>(c.doubles));
    EXPECT_EQ(summary["ended"], c.end == ShowEnd::Finished ? "end" : c.end == ShowEnd::Operator ? "operator" : "bus");
  }
}

TEST(RehearsalReport, ADoubleFiringIsNamedInTheTextAndTheJson) {
  RehearsalRun run;
  run.cues = {Channel(1000, 3, 5)};
  run.fireLogKnown = true;
  run.showStartUs = 5'000'000;
  run.fireLog = {Fired(3, 5, 1004), Fired(3, 5, 12345)};
  const RehearsalReport r = BuildRehearsalReport(run);
  const std::string text = RehearsalText(r);
  EXPECT_NE(text.find("Cues fired: 1 of 1\nCues not fired: 0\nFired without a cue: 1\n"
                      "  console 3 channel 5 at 12345.0 ms\n"
                      "Fired twice: console 3 channel 5 at 12345.0 ms\nShow: ran to its end\n"),
            std::string::npos)
      << text;
  const Json doubles = RehearsalSummaryJson(r)["double_firings"];
  ASSERT_EQ(doubles.size(), 1u);
  EXPECT_EQ(doubles[0]["console"], 3);
  EXPECT_EQ(doubles[0]["fires"], "channel 5");
  EXPECT_EQ(doubles[0]["show_ms"], 12345.0);
  EXPECT_EQ(doubles[0]["frame_only"], false);
}

// The bench fires a channel it has as not connected, but nothing would have lit.
TEST(RehearsalReport, AFiringIntoAnOpenCircuitIsNamedAndNotCountedAsFired) {
  RehearsalRun run;
  run.cues = {Channel(1000, 3, 5), Channel(2000, 3, 6)};
  run.fireLogKnown = true;
  run.showStartUs = 5'000'000;
  run.fireLog = {Fired(3, 5, 1002), Fired(3, 6, 2002)};
  run.openChannels = {{3, 6}, {4, 5}};
  const RehearsalReport r = BuildRehearsalReport(run);
  EXPECT_EQ(r.fired, 1);
  EXPECT_EQ(r.notFired, 1);
  EXPECT_EQ(r.ExitStatus(), 1);
  const std::string text = RehearsalText(r);
  EXPECT_NE(text.find("Cues fired: 1 of 2\nCues not fired: 1\n  line 2: console 3 channel 6 is not connected on "
                      "the bench: it fired into an open circuit, nothing lit\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(RehearsalRowJson(r.rows[1])["open_circuit"], true);
  EXPECT_EQ(RehearsalRowJson(r.rows[0])["open_circuit"], false);
}

TEST(RehearsalReport, TheTextShowsEachCueWithItsFrameFiringAndLateness) {
  RehearsalRun run;
  run.cues = Show();
  run.sent = {Fire(1, 1, 1004), Fire(2, 3, 2003), Fire(2, 9, 2500), MotionFrame(7, 0x98, 3001)};
  const std::string text = RehearsalText(BuildRehearsalReport(run));
  EXPECT_NE(text.find("     1  0:00:01.000         1  channel 1         1004.0           -      +4.0\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("     3  0:00:02.000         4  channel 300            -           -         -\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("     4  0:00:03.000         7  motion C          3001.0           -      +1.0\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Lateness (from the fire frames sent): p50 3.0 ms  p99 4.0 ms  max 4.0 ms\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("Cues fired: 3 of 4\nCues not fired: 1\nFired without a cue: 1\n"
                      "  console 2 channel 9 at 2500.0 ms (fire frame sent)\nShow: ran to its end\n"),
            std::string::npos)
      << text;

  run.autonomous = true;
  run.sent.clear();
  const std::string autonomous = RehearsalText(BuildRehearsalReport(run));
  EXPECT_NE(autonomous.find("Cues fired: not observable on this bus"), std::string::npos) << autonomous;
  EXPECT_NE(autonomous.find("channel 1              -           ?         -"), std::string::npos) << autonomous;
}

TEST(RehearsalReport, TheChannelTestFrameAndOtherTrafficAreNoFiring) {
  RehearsalRun run;
  run.cues = {Channel(1000, 1, 1)};
  run.sent = {{bus::Frame6{0x84, 0, 0, 0, 0x80, 1}, 900},  // a channel measurement names no channel
              {bus::Frame6{0x90, 10, 0, 0, 0, 0}, 950},    // the run broadcast
              Fire(1, 1, 1002)};
  const RehearsalReport r = BuildRehearsalReport(run);
  EXPECT_EQ(r.fired, 1);
  EXPECT_TRUE(r.unasked.empty());
  EXPECT_EQ(r.ExitStatus(), 0);
}

}  // namespace
}  // namespace fd::cli

namespace fd::cli {
namespace {

using namespace testing_cues;

// A chased show: a cue the timecode jumped over is reported as skipped, not as not fired; should
// its target fire all the same, that firing was asked for by nobody.
TEST(RehearsalReport, CuesTheChaseSkippedAreNamedAndMustNotFire) {
  struct Case {
    const char* name;
    std::vector<sim::FireEntry> fired;
    int exitStatus;
    std::string lines;
  };
  const Case cases[] = {
      {"the skipped cue stays silent",
       {Fired(1, 1, 1003), Fired(3, 5, 9004)},
       0,
       "Cues fired: 2 of 2\nCues not fired: 0\nCues skipped: 1\nFired without a cue: 0\n"},
      {"the skipped cue's target fires",
       {Fired(1, 1, 1003), Fired(2, 3, 5002), Fired(3, 5, 9004)},
       1,
       "Cues fired: 2 of 2\nCues not fired: 0\nCues skipped: 1\nFired without a cue: 1\n  console 2 channel 3 at "
       "5002.0 ms\n"},
  };
  for (const Case& c : cases) {
    RehearsalRun run;
    run.cues = {Channel(1000, 1, 1), Channel(5000, 2, 3), Channel(9000, 3, 5)};
    run.fireLogKnown = true;
    run.showStartUs = 5'000'000;
    run.fireLog = c.fired;
    run.skipped = {{1, "timecode_jump"}};
    run.chase = ChaseRun{
        "ltc.wav", "01:00:00:00", {{"lock", -600, "25"}, {"jump", 3200, "", 3200, 8200}}, {10, 0, 1, 4, 0.5, 2.0, 2.0}};
    const RehearsalReport r = BuildRehearsalReport(run);
    const std::string text = RehearsalText(r);
    EXPECT_EQ(r.ExitStatus(), c.exitStatus) << c.name;
    EXPECT_NE(text.find(c.lines), std::string::npos) << c.name << "\n" << text;
    EXPECT_NE(text.find("     2  0:00:05.000         2  channel 3              -     skipped         -\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Timecode: ltc.wav, offset 01:00:00:00\n  lock after 10 frames\n"
                        "  locked at -0:00:00.600 (25 fps)\n  jump at 0:00:03.200: 0:00:03.200 -> 0:00:08.200\n"
                        "  skipped: line 2 at 0:00:05.000, console 2 channel 3 (timecode_jump)\n"
                        "  chase error: p50 0.50 ms  p99 2.00 ms  max 2.00 ms (4 frames)\n"),
              std::string::npos)
        << text;
    const Json chase = RehearsalChaseJson(r);
    EXPECT_EQ(chase["skipped"].dump(),
              R"([{"line":2,"time_ms":5000,"console":2,"fires":"channel 3","reason":"timecode_jump"}])");
    EXPECT_EQ(chase["lock"].dump(), R"({"show_ms":-600,"rate":"25"})");
    EXPECT_EQ(chase["error_max_ms"], 2.0);
  }
  // The chase error's figures are taken by size: a clock 1 ms behind is as far off as 1 ms ahead.
  const std::vector<double> errors{0.5, -1.0, 0.25, 2.0};
  EXPECT_EQ(SizePercentile(errors, 50), 0.5);
  EXPECT_EQ(SizePercentile(errors, 75), 1.0);
  EXPECT_EQ(SizePercentile(errors, 100), 2.0);
}

}  // namespace
}  // namespace fd::cli
