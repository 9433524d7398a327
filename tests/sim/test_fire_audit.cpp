// Matching what the bench fired against what the show asked for.
#include <gtest/gtest.h>

#include "sim/fire_audit.h"

namespace fd::sim {
namespace {

FireEntry Fire(int console, int channel, double showMs, FireSource source = FireSource::Direct) {
  FireEntry e;
  e.console = console;
  e.channel = channel;
  e.timeUs = static_cast<uint64_t>(1'000'000 + (showMs - 2000) * 1000);  // show time 2000 at 1 s bench time
  e.source = source;
  return e;
}

PlannedFire Cue(int line, int32_t timeMs, int console, int channel) {
  PlannedFire p;
  p.line = line;
  p.timeMs = timeMs;
  p.console = console;
  p.channel = channel;
  return p;
}

TEST(FireAudit, MatchesLatenessRepeatsAndUnplannedFirings) {
  const std::vector<PlannedFire> cues{Cue(3, 3000, 1, 2), Cue(1, 2500, 1, 1), Cue(2, 2500, 4, 1), Cue(4, 4000, 5, 1)};
  std::vector<FireEntry> log{
      Fire(1, 1, 2504.5),  // line 1, 4.5 ms late
      Fire(4, 1, 2506),    // line 2
      Fire(4, 1, 2509),    // the same command heard again: a repeat
      Fire(1, 2, 2990),    // line 3, 10 ms early: still its firing
      Fire(7, 1, 3100),    // nobody asked console 7
      Fire(1, 1, 2200),    // before its cue was due and not a repeat of an earlier firing: unplanned
      Fire(5, 1, 5100),    // 1.1 s after the cue of console 5: not its firing, and nobody else's
  };
  // Console 5 fires only far too late.
  FireEntry motion = Fire(2, 0, 3500);
  motion.kind = FireKind::Motion;
  motion.motionCode = 0x98;
  log.push_back(motion);

  const FireAudit audit = AuditFires(cues, log, 1'000'000, 2000);
  ASSERT_EQ(audit.cues.size(), 4u);
  EXPECT_EQ(audit.cues[0].planned.line, 1) << "cues in time order, file order kept for equal times";
  EXPECT_EQ(audit.cues[1].planned.line, 2);
  EXPECT_NEAR(audit.cues[0].latenessMs, 4.5, 1e-9);
  EXPECT_NEAR(audit.cues[2].latenessMs, -10, 1e-9);
  EXPECT_FALSE(audit.cues[3].fired);
  EXPECT_EQ(audit.Fired(), 3);
  EXPECT_EQ(audit.NotFired(), 1);
  ASSERT_EQ(audit.repeated.size(), 1u);
  EXPECT_EQ(audit.repeated[0].console, 4);
  ASSERT_EQ(audit.unplanned.size(), 4u) << "console 7, the early and the very late firing, the motion";
  EXPECT_NEAR(audit.LatenessPercentile(50), 4.5, 1e-9);
  EXPECT_NEAR(audit.LatenessPercentile(100), 6, 1e-9);
  EXPECT_NEAR(audit.LatenessPercentile(0), -10, 1e-9);
}

TEST(FireAudit, NothingFiredNothingPlanned) {
  const FireAudit empty = AuditFires({}, {}, 0, 0);
  EXPECT_EQ(empty.Fired(), 0);
  EXPECT_EQ(empty.LatenessPercentile(99), 0);
  const FireAudit silent = AuditFires({Cue(1, 0, 1, 1)}, {}, 0, 0);
  EXPECT_EQ(silent.NotFired(), 1);
}

}  // namespace
}  // namespace fd::sim
