// The show player chasing timecode on the virtual bench: frames reach the chase a frame after
// their edge, as the decoder hands them over; the bench's fire log says what fired and when.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <nlohmann/json.hpp>
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

class ChaseRig {
 public:
  // Armed at armAt; the timecode starts at `start`, its clock ppm off.
  ChaseRig(const std::vector<int32_t>& cueTimes, Timecode start, int32_t armAt, double ppm = 600,
           uint8_t launchMode = lmDirect)
      : times(cueTimes) {
    b.QuietEngine();
    b.AddConsole(3, 0x165, 'S', 64);
    b.Register({3});
    // Console 3 fires channel k+1 for cue k (line k+1): each firing names its cue.
    std::vector<devices::CueRecord> cues;
    for (int32_t k = 0; k < static_cast<int32_t>(times.size()); ++k) {
      cues.push_back(Channel(times[k], 3, k + 1));
      cues.back().Line = k + 1;
    }
    b.Load(cues);
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
    b.player->LaunchMode = launchMode;
    EXPECT_TRUE(b.player->ArmChase(armAt));
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
      // A skipped cue by its channel (on console 3, its line, at its planned time).
      if (kind == "cue_skipped") {
        const int channel = event["channel"];
        EXPECT_EQ(event["line"], channel);
        EXPECT_EQ(event["console"], 3);
        EXPECT_EQ(event["planned_ms"], times[channel - 1]);
        EXPECT_EQ(event.size(), 7u) << line;  // with "event" and "wall"
        out.push_back(kind + " " + std::to_string(channel) + " " + event["reason"].get<std::string>());
      } else if (kind.rfind("timecode_", 0) == 0) {
        if (kind == "timecode_jump") {
          EXPECT_EQ(event["show_ms"], event["to_ms"]);
        }
        out.push_back(kind == "timecode_lock" ? kind + " " + event["rate"].get<std::string>() : kind);
      }
    }
    return out;
  }

  struct Fired {
    int cue;
    int32_t clock;
  };
  std::vector<int32_t> times;
  PlayerBench b;
  timecode::TimecodeChase chase;
  std::unique_ptr<timecode::FrameGenerator> gen;
  journal::ShowJournal journal;
  bool silent = false;
  std::vector<Fired> fired;
  std::map<int32_t, std::string> skipped;
};

// Stops the show and checks, whatever the script did: no cue fired twice or before its time on
// the show clock, no skipped cue fired, and the journal says what the timecode did.
void Chase(const char* name, const std::vector<int32_t>& cues, Timecode start, int32_t armAt,
           const std::vector<int>& fired, const std::map<int32_t, std::string>& skipped,
           const std::vector<std::string>& journal, const std::function<void(ChaseRig&)>& script) {
  SCOPED_TRACE(name);
  ChaseRig rig(cues, start, armAt);
  script(rig);
  rig.b.player->Stop(true);
  rig.journal.Close(rig.b.player->Clock);
  std::vector<int> order;
  for (const auto& f : rig.fired) {
    order.push_back(f.cue);
    EXPECT_GE(f.clock, rig.times[f.cue]) << "cue " << f.cue << " fired before its time";
  }
  EXPECT_EQ(order, fired);
  EXPECT_EQ(rig.skipped, skipped);
  std::vector<int32_t> listed = rig.b.player->SkippedCues(), expected;
  for (const auto& entry : skipped) expected.push_back(entry.first);
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, expected);
  EXPECT_EQ(rig.JournalEvents(), journal);
  EXPECT_EQ(rig.b.log.Size(), fired.size()) << rig.b.log.Text();
}

const std::vector<std::string> kLock{"timecode_lock 25"}, kLockAndJump{"timecode_lock 25", "timecode_jump"};

TEST(PlayerChase, FiresEachCueOnceOnTheChasedClock) {
  // Armed at 2 s, the timecode starts at 0: the show starts when it reaches 2 s. A cue before the
  // start position is not the show's and not skipped either.
  Chase("StartsWhenTheTimecodeReachesTheStart", {1000, 2000, 3000}, {}, 2000, {1, 2}, {}, kLock, [](ChaseRig& r) {
    r.Run(1500);
    EXPECT_FALSE(r.b.player->IsPlaying());
    EXPECT_EQ(r.b.player->ChaseState(), timecode::ChaseState::Locked);
    r.Run(1000);
    EXPECT_TRUE(r.b.player->IsPlaying());
    r.Run(2000);
  });
  // Armed at 0, the timecode already at 5 s: the show starts there; the cues it passed are named,
  // not fired.
  Chase("AlreadyPastTheStartSkipsTheCuesBefore", {1000, 4000, 6000, 7000}, {0, 0, 5, 0}, 0, {2, 3},
        {{0, "before_start"}, {1, "before_start"}},
        {"timecode_lock 25", "cue_skipped 1 before_start", "cue_skipped 2 before_start"},
        [](ChaseRig& r) { r.Run(3500); });
  // Two seconds of silence from 3 s: the show freewheels, its cue at 4 s fires on time, and the
  // returning timecode is taken back without a jump.
  Chase("DropoutFreewheelsAndReturns", {1000, 4000, 6000}, {}, 0, {0, 1, 2}, {},
        {"timecode_lock 25", "timecode_dropout", "timecode_return"}, [](ChaseRig& r) {
          r.Run(3400);
          r.silent = true;
          r.Run(2000);
          EXPECT_EQ(r.b.player->ChaseState(), timecode::ChaseState::Lost);
          EXPECT_TRUE(r.b.player->IsPlaying());
          r.silent = false;
          r.Run(1500);
        });
  // Back from 3.5 s to 1 s: nothing fires twice; the cue at 4 s waits for the timecode.
  Chase("BackwardJumpFiresNothingTwice", {1000, 2000, 3000, 4000}, {}, 1000, {0, 1, 2, 3}, {}, kLockAndJump,
        [](ChaseRig& r) {
          r.Run(3500);
          r.gen->CutTo({0, 0, 1, 0});
          r.Run(2500);
          EXPECT_EQ(r.b.log.Size(), 3u) << "the cue at 4 s waits";
          r.Run(1000);
        });
  // From 2.5 s to 10 s: the cues in between are skipped, none of them goes out; the show follows
  // from 10 s.
  Chase("ForwardJumpSkipsTheSpan", {1000, 2000, 5000, 6000, 6000, 10500, 11000}, {}, 0, {0, 1, 5, 6},
        {{2, "timecode_jump"}, {3, "timecode_jump"}, {4, "timecode_jump"}},
        {"timecode_lock 25", "timecode_jump", "cue_skipped 3 timecode_jump", "cue_skipped 4 timecode_jump",
         "cue_skipped 5 timecode_jump"},
        [](ChaseRig& r) {
          r.Run(2900);
          r.gen->CutTo({0, 0, 10, 0});
          r.Run(1500);
        });
  // Forward by under a second: the cues jumped over go out, late.
  Chase("ForwardSlipSendsTheCuesLate", {2900, 3000, 4000}, {}, 0, {0, 1, 2}, {}, kLockAndJump, [](ChaseRig& r) {
    r.Run(2500);
    r.gen->CutTo({0, 0, 3, 10});  // 0.9 s ahead
    r.Run(300);
    EXPECT_EQ(r.b.log.Size(), 2u) << "both went out at the jump";
    r.Run(1500);
  });
  // The operator stops the armed show before the start: the timecode passes the start and nothing
  // fires; arming again is needed.
  Chase("AStopDisarms", {1000, 2000}, {}, 500, {}, {}, {}, [](ChaseRig& r) {
    r.Run(200);
    r.b.player->Stop(true);
    EXPECT_FALSE(r.b.player->ChaseArmed());
    r.Run(3000);
    EXPECT_FALSE(r.b.player->IsPlaying());
  });
  // A stop from the bus while the show plays: the timecode runs on, the show does not.
  Chase("AStopFromTheBusEndsTheChasedShow", {1000, 2000, 3000}, {}, 0, {0, 1}, {}, kLock, [](ChaseRig& r) {
    r.Run(2100);
    r.b.player->HandleBusMessage({0x90, 0x00, 0x08, 0x00, 0x00, 0x00});
    EXPECT_FALSE(r.b.player->IsPlaying());
    r.Run(2000);
    EXPECT_FALSE(r.b.player->IsPlaying());
  });
}

// Without a chase the player keeps its own clock; with one, the cues go by the timecode even when
// it runs 1 % slow, and the run broadcasts of autonomous launch carry it.
TEST(PlayerChaseClock, TheClockIsTheTimecodesInBothLaunchModes) {
  for (const uint8_t mode : {lmDirect, lmAutonomous}) {
    SCOPED_TRACE(mode == lmDirect ? "direct" : "autonomous");
    ChaseRig rig({3000, 6000, 12000}, {0, 0, 1, 0}, 2000, -3000, mode);
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
