// The show player chasing timecode on the virtual bench: frames reach the chase a frame after
// their edge, as the decoder hands them over; the bench's fire log says what fired and when.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "journal/show_journal.h"
#include "player_bench.h"
#include "timecode/frame_generator.h"
#include "timecode/timecode_chase.h"

namespace fd::show {
namespace {

using testing::PlayerBench;
using testing_cues::Channel;
using timecode::Timecode;

// Console 3 fires channel k+1 for cue k: each firing names its cue.
std::vector<devices::CueRecord> CuesAt(const std::vector<int32_t>& times) {
  std::vector<devices::CueRecord> cues;
  for (size_t k = 0; k < times.size(); ++k) {
    cues.push_back(Channel(times[k], 3, static_cast<int32_t>(k) + 1));
    cues.back().Line = static_cast<int32_t>(k) + 1;
  }
  return cues;
}

class ChaseRig {
 public:
  explicit ChaseRig(const std::vector<int32_t>& times, Timecode start, double ppm = 600) {
    b.QuietEngine();
    b.AddConsole(3, 0x165, 'S', 64);
    b.Register({3});
    b.Load(CuesAt(times));
    EXPECT_TRUE(journal.Open(b.logDir.Path(), 0, {}));
    b.player->Journal = &journal;
    b.player->ChaseTimecode(&chase);
    b.player->OnCueSkipped = [this](int32_t index, const std::string& reason) { skipped[index] = reason; };
    // The show clock at each fire frame, and the cue it fires (its channel).
    b.port->OnFrameSent = [this](const bus::Frame6& frame) {
      b.sent.push_back(frame);
      b.sentAt.push_back(b.Now());
      if (frame[0] == 0x84) fired.push_back({frame[1] - 1, b.player->Clock});
    };
    // The first edge 10 ms after the set-up (the registration's exchanges took their time).
    gen = std::make_unique<timecode::FrameGenerator>(
        timecode::FrameGenerator::Signal{timecode::FrameRate::Fps25, start, Tick() + 10, ppm, 0.5, 11});
  }
  double Tick() { return static_cast<double>(b.platform.GetClock().TickCount()); }
  // Runs ms of virtual time, handing over each frame a frame after its edge (none while silent).
  void Run(uint64_t ms) {
    for (uint64_t i = 0; i < ms; ++i) {
      while (gen->NextEdgeMs() + gen->FrameMs() <= Tick()) {
        const timecode::DecodedFrame frame = gen->Next();
        if (!silent) chase.Feed(frame);
      }
      b.Advance(1);
    }
  }
  std::vector<std::string> JournalEvents() {
    std::vector<std::string> out;
    std::istringstream in(support::testing::ReadBytes(journal.Path()));
    for (std::string line; std::getline(in, line);) {
      const auto event = nlohmann::json::parse(line);
      const std::string kind = event["event"];
      // A skipped cue by its channel (console 3, line k + 1 for channel k + 1, at its planned time).
      if (kind == "cue_skipped") {
        const int channel = event["channel"];
        EXPECT_EQ(event["line"], channel);
        EXPECT_EQ(event["console"], 3);
        EXPECT_EQ(event["planned_ms"], b.list.Cues()[channel - 1].TimeMs);
        EXPECT_EQ(event.size(), 7u) << line;  // with "event" and "wall"
        out.push_back(kind + " " + std::to_string(channel) + " " + event["reason"].get<std::string>());
      } else if (kind == "timecode_lock") {
        out.push_back(kind + " " + event["rate"].get<std::string>());
      } else if (kind == "timecode_jump") {
        EXPECT_EQ(event["show_ms"], event["to_ms"]);
        out.push_back(kind);
      } else if (kind.rfind("timecode_", 0) == 0) {
        out.push_back(kind);
      }
    }
    return out;
  }

  struct Fired {
    int cue;
    int32_t clock;
  };
  PlayerBench b;
  timecode::TimecodeChase chase;
  std::unique_ptr<timecode::FrameGenerator> gen;
  journal::ShowJournal journal;
  bool silent = false;
  std::vector<Fired> fired;
  std::map<int32_t, std::string> skipped;
};

struct ChaseCase {
  const char* name;
  std::vector<int32_t> cues;
  Timecode start;  // where the timecode begins, a moment after the arming
  int32_t armAt;
  // What happens meanwhile: run for a while, cut the timecode, go silent, stop.
  std::function<void(ChaseRig&)> script;
  std::vector<int> fired;  // cue indexes, in firing order
  std::map<int32_t, std::string> skipped;
  std::vector<std::string> journal;  // timecode events and skipped cues
  friend void PrintTo(const ChaseCase& c, std::ostream* os) { *os << c.name; }
};

class PlayerChaseTest : public ::testing::TestWithParam<ChaseCase> {};

// No cue fires twice or before its time on the show clock, no skipped cue fires, and the journal
// says what the timecode did.
TEST_P(PlayerChaseTest, FiresEachCueOnceOnTheChasedClock) {
  const ChaseCase& c = GetParam();
  ChaseRig rig(c.cues, c.start);
  ASSERT_TRUE(rig.b.player->ArmChase(c.armAt));
  c.script(rig);
  rig.b.player->Stop(true);
  rig.journal.Close(rig.b.player->Clock);

  std::vector<int> order;
  for (const auto& f : rig.fired) {
    order.push_back(f.cue);
    EXPECT_GE(f.clock, c.cues[f.cue]) << "cue " << f.cue << " fired before its time";
  }
  EXPECT_EQ(order, c.fired);
  EXPECT_EQ(rig.skipped, c.skipped);
  std::vector<int32_t> skippedIndexes;
  for (const auto& [index, reason] : c.skipped) skippedIndexes.push_back(index);
  auto listed = rig.b.player->SkippedCues();
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, skippedIndexes);
  EXPECT_EQ(rig.JournalEvents(), c.journal);
  EXPECT_EQ(rig.b.log.Size(), c.fired.size()) << rig.b.log.Text();
}

INSTANTIATE_TEST_SUITE_P(Rules, PlayerChaseTest,
                         ::testing::Values(
                             // Armed at 2 s, the timecode starts at 0: the show starts when it reaches 2 s. A cue
                             // before the start position is not the show's and not skipped either.
                             ChaseCase{"StartsWhenTheTimecodeReachesTheStart",
                                       {1000, 2000, 3000},
                                       {},
                                       2000,
                                       [](ChaseRig& r) {
                                         r.Run(1500);
                                         EXPECT_FALSE(r.b.player->IsPlaying());
                                         EXPECT_EQ(r.b.player->ChaseState(), timecode::ChaseState::Locked);
                                         r.Run(1000);
                                         EXPECT_TRUE(r.b.player->IsPlaying());
                                         r.Run(2000);
                                       },
                                       {1, 2},
                                       {},
                                       {"timecode_lock 25"}},
                             // Armed at 0, the timecode already at 5 s: the show starts there; the cues it passed are
                             // named, not fired.
                             ChaseCase{
                                 "AlreadyPastTheStartSkipsTheCuesBefore",
                                 {1000, 4000, 6000, 7000},
                                 {0, 0, 5, 0},
                                 0,
                                 [](ChaseRig& r) { r.Run(3500); },
                                 {2, 3},
                                 {{0, "before_start"}, {1, "before_start"}},
                                 {"timecode_lock 25", "cue_skipped 1 before_start", "cue_skipped 2 before_start"}},
                             // Two seconds of silence from 3 s: the show freewheels, its cue at 4 s fires on time,
                             // and the returning timecode is taken back without a jump.
                             ChaseCase{"DropoutFreewheelsAndReturns",
                                       {1000, 4000, 6000},
                                       {},
                                       0,
                                       [](ChaseRig& r) {
                                         r.Run(3400);
                                         r.silent = true;
                                         r.Run(2000);
                                         EXPECT_EQ(r.b.player->ChaseState(), timecode::ChaseState::Lost);
                                         EXPECT_TRUE(r.b.player->IsPlaying());
                                         r.silent = false;
                                         r.Run(1500);
                                       },
                                       {0, 1, 2},
                                       {},
                                       {"timecode_lock 25", "timecode_dropout", "timecode_return"}},
                             // Back from 3.5 s to 1 s: nothing fires twice; the cue at 4 s waits for the timecode.
                             ChaseCase{"BackwardJumpFiresNothingTwice",
                                       {1000, 2000, 3000, 4000},
                                       {},
                                       1000,
                                       [](ChaseRig& r) {
                                         r.Run(3500);
                                         r.gen->CutTo({0, 0, 1, 0});
                                         r.Run(2500);
                                         EXPECT_EQ(r.b.log.Size(), 3u) << "the cue at 4 s waits";
                                         r.Run(1000);
                                       },
                                       {0, 1, 2, 3},
                                       {},
                                       {"timecode_lock 25", "timecode_jump"}},
                             // From 2.5 s to 10 s: the cues in between are skipped, none of them goes out; the show
                             // follows from 10 s.
                             ChaseCase{"ForwardJumpSkipsTheSpan",
                                       {1000, 2000, 5000, 6000, 6000, 10500, 11000},
                                       {},
                                       0,
                                       [](ChaseRig& r) {
                                         r.Run(2900);
                                         r.gen->CutTo({0, 0, 10, 0});
                                         r.Run(1500);
                                       },
                                       {0, 1, 5, 6},
                                       {{2, "timecode_jump"}, {3, "timecode_jump"}, {4, "timecode_jump"}},
                                       {"timecode_lock 25", "timecode_jump", "cue_skipped 3 timecode_jump",
                                        "cue_skipped 4 timecode_jump", "cue_skipped 5 timecode_jump"}},
                             // Forward by under a second: the cues jumped over go out, late.
                             ChaseCase{"ForwardSlipSendsTheCuesLate",
                                       {2900, 3000, 4000},
                                       {},
                                       0,
                                       [](ChaseRig& r) {
                                         r.Run(2500);
                                         r.gen->CutTo({0, 0, 3, 10});  // 0.9 s ahead
                                         r.Run(300);
                                         EXPECT_EQ(r.b.log.Size(), 2u) << "both went out at the jump";
                                         r.Run(1500);
                                       },
                                       {0, 1, 2},
                                       {},
                                       {"timecode_lock 25", "timecode_jump"}},
                             // The operator stops the armed show before the start: the timecode passes the start and
                             // nothing fires; arming again is needed.
                             ChaseCase{"AStopDisarms",
                                       {1000, 2000},
                                       {},
                                       500,
                                       [](ChaseRig& r) {
                                         r.Run(200);
                                         r.b.player->Stop(true);
                                         EXPECT_FALSE(r.b.player->ChaseArmed());
                                         r.Run(3000);
                                         EXPECT_FALSE(r.b.player->IsPlaying());
                                       },
                                       {},
                                       {},
                                       {}},
                             // A stop from the bus while the show plays: the timecode runs on, the show does not.
                             ChaseCase{"AStopFromTheBusEndsTheChasedShow",
                                       {1000, 2000, 3000},
                                       {},
                                       0,
                                       [](ChaseRig& r) {
                                         r.Run(2100);
                                         r.b.player->HandleBusMessage({0x90, 0x00, 0x08, 0x00, 0x00, 0x00});
                                         EXPECT_FALSE(r.b.player->IsPlaying());
                                         r.Run(2000);
                                         EXPECT_FALSE(r.b.player->IsPlaying());
                                       },
                                       {0, 1},
                                       {},
                                       {"timecode_lock 25"}}),
                         [](const auto& info) { return std::string(info.param.name); });

// Without a chase the player keeps its own clock; with one, the cues go by the timecode even when
// it runs 1 % slow, and the run broadcasts of autonomous launch carry it.
TEST(PlayerChaseClock, TheClockIsTheTimecodesInBothLaunchModes) {
  for (const uint8_t mode : {lmDirect, lmAutonomous}) {
    SCOPED_TRACE(mode == lmDirect ? "direct" : "autonomous");
    ChaseRig rig({3000, 6000, 12000}, {0, 0, 1, 0}, -3000);
    rig.b.player->LaunchMode = mode;
    ASSERT_TRUE(rig.b.player->ArmChase(2000));
    rig.Run(9000);
    ASSERT_TRUE(rig.b.player->IsPlaying());
    // 8.2 s after the first edge, the timecode shows 1 s + 8.2 s x 0.997.
    // Each progress report against the timecode at its moment (virtual time starts at tick 100000).
    ASSERT_GE(rig.b.progress.size(), 60u);
    for (const auto& p : rig.b.progress)
      EXPECT_NEAR(p.clock, rig.gen->TimecodeAt(100000.0 + static_cast<double>(p.at)), 3.0) << p.at;
    const double truth = rig.gen->TimecodeAt(rig.Tick());
    if (mode == lmDirect) {
      ASSERT_EQ(rig.fired.size(), 2u);
      for (const auto& f : rig.fired) EXPECT_LE(f.clock - rig.b.list.Cues()[f.cue].TimeMs, 3);
    } else {
      // The run broadcasts carry the chased time in tenths.
      const auto runs = rig.b.SentWith(0x90);
      ASSERT_GE(runs.size(), 6u);
      const auto& lastRun = runs.back();
      EXPECT_NEAR((lastRun[1] * 256 + lastRun[2]) * 100, truth, 1000);
      EXPECT_EQ(lastRun[3], 0x80);
    }
  }
}

}  // namespace
}  // namespace fd::show
