// The chasing rules, fed with generated frames as the decoder hands them over (each a frame after
// its edge), and asked for the show clock on the player's 25 ms ticks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "timecode/frame_generator.h"
#include "timecode/timecode_chase.h"

namespace fd::timecode {
namespace {

constexpr double kTickMs = 25;

double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(p * static_cast<double>(values.size() - 1))];
}

// A source and the chase side by side on the tick scale.
struct ChaseRun {
  explicit ChaseRun(const FrameGenerator::Signal& signal, Timecode offset = {}) : gen(signal), chase(offset) {
    now = signal.startHeardMs;
    offsetMs = TimecodeMs(offset, signal.rate);
  }
  // Ticks on until untilMs; what the source sends meanwhile reaches the chase a frame after its
  // edge, unless silent.
  void To(double untilMs) {
    for (; now < untilMs; now += kTickMs) {
      while (gen.NextEdgeMs() + gen.FrameMs() <= now) {
        const DecodedFrame frame = gen.Next();
        if (!silent) chase.Feed(frame);
      }
      // The player asks with the platform's 32-bit tick count; the heard times run on past it.
      const double asked = std::fmod(now, 4294967296.0);
      chase.Update(asked);
      const auto show = chase.ShowTime(asked);
      if (!show) continue;
      if (last) maxStep = std::max(maxStep, std::fabs(*show - *last - kTickMs));
      last = show;
      errors.push_back(*show - (gen.TimecodeAt(now) - offsetMs));
    }
  }
  std::vector<ChaseEventKind> Kinds() {
    for (const ChaseEvent& e : chase.TakeEvents()) events.push_back(e);
    std::vector<ChaseEventKind> out;
    for (const ChaseEvent& e : events) out.push_back(e.kind);
    return out;
  }

  FrameGenerator gen;
  TimecodeChase chase;
  double now = 0;
  double offsetMs = 0;
  bool silent = false;
  std::optional<double> last;
  double maxStep = 0;
  std::vector<double> errors;
  std::vector<ChaseEvent> events;
};

// Locked within ten frames; then, with edges jittered by half a millisecond and the source 0.1 %
// off, the clock stays within 2 ms of the timecode (p99) and never steps by more than 1 ms a tick.
TEST(ChaseLock, LocksWithinTenFramesAndFollowsSmoothly) {
  const std::pair<FrameRate, double> cases[] = {{FrameRate::Fps25, 1000},
                                                {FrameRate::Fps25, -1000},
                                                {FrameRate::Fps2997Drop, 1000},
                                                {FrameRate::Fps24, -1000},
                                                {FrameRate::Fps30, 0}};
  for (const auto& [rate, ppm] : cases) {
    SCOPED_TRACE(std::string(FrameRateText(rate)) + " at " + std::to_string(ppm) + " ppm");
    ChaseRun run({rate, {1, 0, 0, 0}, 1000, ppm, 0.5, 7}, {1, 0, 0, 0});
    run.To(60000);
    EXPECT_EQ(run.chase.LockFrames(), 10);
    EXPECT_EQ(run.Kinds(), std::vector<ChaseEventKind>{ChaseEventKind::Lock});
    EXPECT_EQ(run.chase.State(), ChaseState::Locked);
    EXPECT_EQ(run.chase.Rate(), rate);
    EXPECT_NEAR(run.events[0].showMs, 9 * FrameDurationMs(rate), 1.0);  // at the tenth frame's edge
    EXPECT_LE(run.maxStep, 1.0);
    std::vector<double> settled(run.errors.begin() + 40, run.errors.end());
    for (double& e : settled) e = std::fabs(e);
    EXPECT_LE(Percentile(settled, 0.99), 2.0);
    EXPECT_NEAR(run.chase.RateEstimate(), 1 + ppm * 1e-6, 3e-4);
    ASSERT_FALSE(run.chase.ErrorSamples().empty());
    EXPECT_EQ(*run.chase.LastLabel(), LabelOfFrame(run.gen.NextNumber() - 1, rate));
  }
}

// A run locked by 6 s, `act` done to it, then on to 20 s: the events seen, each once, and the
// clock back on the timecode within 2 ms. jumpMs is a jump's to − from, roughly (0 for none);
// maxStepMs the largest step of the clock a tick when there is no jump.
void ExpectEvents(const char* name, Timecode offset, Timecode start, const std::vector<ChaseEventKind>& kinds,
                  double jumpMs, double maxStepMs, const std::function<void(ChaseRun&)>& act) {
  SCOPED_TRACE(name);
  ChaseRun run({FrameRate::Fps25, start, 1000, 800, 0.5, 3}, offset);
  run.To(6000);
  act(run);
  const size_t before = run.errors.size();
  run.To(20000);
  EXPECT_EQ(run.Kinds(), kinds);
  EXPECT_EQ(run.chase.State(), ChaseState::Locked);
  EXPECT_EQ(run.chase.Jumps(), jumpMs != 0 ? 1 : 0);
  for (const ChaseEvent& e : run.events) {
    if (e.kind == ChaseEventKind::Jump) {
      EXPECT_NEAR(e.toMs - e.fromMs, jumpMs, 250) << e.fromMs << " to " << e.toMs;
    }
  }
  if (jumpMs == 0) {
    EXPECT_LE(run.maxStep, maxStepMs);
  }
  EXPECT_LE(std::fabs(run.errors.back()), 2.0);
  EXPECT_GT(run.errors.size(), before);
}

TEST(ChaseEvents, ReportsWhatHappenedOnce) {
  using K = ChaseEventKind;
  // Two seconds of silence: the clock runs on at the measured rate; the return is taken back
  // without a step.
  ExpectEvents("DropoutAndReturn", {}, {}, {K::Lock, K::Dropout, K::Return}, 0, 1.0, [](ChaseRun& r) {
    r.silent = true;
    r.To(8000);
    EXPECT_EQ(r.chase.State(), ChaseState::Lost);
    EXPECT_EQ(r.chase.Dropouts(), 1);
    // Freewheeled on the measured rate: still within a millisecond after 2 s.
    EXPECT_LE(std::fabs(r.errors.back()), 1.0);
    r.silent = false;
  });
  ExpectEvents("ForwardJump", {}, {}, {K::Lock, K::Jump}, 35000, 0, [](ChaseRun& r) { r.gen.CutTo({0, 0, 40, 0}); });
  ExpectEvents("BackwardJump", {}, {0, 0, 30, 0}, {K::Lock, K::Jump}, -33000, 0, [](ChaseRun& r) {
    r.gen.CutTo({0, 0, 2, 0});
  });
  // Silence, and the timecode comes back somewhere else: back, and a jump.
  ExpectEvents("ReturnElsewhere", {}, {}, {K::Lock, K::Dropout, K::Return, K::Jump}, 14000, 0, [](ChaseRun& r) {
    r.silent = true;
    r.To(7000);
    r.gen.CutTo({0, 0, 20, 0});
    r.silent = false;
  });
  // One label far off (LTC carries no checksum) and a frame lost now and then: nothing.
  ExpectEvents("StrayLabelsAndLostFrames", {}, {}, {K::Lock}, 0, 1.0, [](ChaseRun& r) {
    r.chase.Feed({{12, 0, 0, 0}, FrameRate::Fps25, r.now - 20, -12});
    r.gen.Skip(40);
    r.To(9000);
    r.gen.Skip(40);
    r.chase.Feed({{30, 0, 0, 0}, FrameRate::Fps25, r.now, -12});  // not a label at all
  });
  // Show time 0 at 23:59:50:00; the timecode runs over midnight without a jump.
  ExpectEvents("OverMidnight", {23, 59, 50, 0}, {23, 59, 55, 0}, {K::Lock}, 0, 1.0, [](ChaseRun&) {});
}

// The tick count wraps 49.7 days after the machine started; a show running over it goes on.
TEST(ChaseLock, RunsOnOverTheTickCountsWrap) {
  constexpr double kWrapMs = 4294967296.0;
  ChaseRun run({FrameRate::Fps25, {1, 0, 0, 0}, kWrapMs - 5000, 800, 0.5, 3});
  run.To(kWrapMs + 15000);
  EXPECT_EQ(run.Kinds(), std::vector<ChaseEventKind>{ChaseEventKind::Lock});
  EXPECT_EQ(run.chase.State(), ChaseState::Locked);
  EXPECT_LE(run.maxStep, 1.0);
  EXPECT_LE(std::fabs(run.errors.back()), 2.0);
}

// Nothing but noise: never a lock, and no show clock.
TEST(ChaseNoise, GarbageLabelsNeverLock) {
  TimecodeChase chase;
  std::mt19937 random(5);
  for (int i = 0; i < 5000; ++i) {
    DecodedFrame frame;
    frame.label = {static_cast<int>(random() % 24), static_cast<int>(random() % 60), static_cast<int>(random() % 60),
                   static_cast<int>(random() % 25)};
    frame.rate = FrameRate::Fps25;
    frame.heardMs = 40.0 * i;
    chase.Feed(frame);
    chase.Update(frame.heardMs);
  }
  EXPECT_EQ(chase.State(), ChaseState::Searching);
  EXPECT_FALSE(chase.ShowTime(200000).has_value());
  EXPECT_TRUE(chase.TakeEvents().empty());
  EXPECT_EQ(chase.LockFrames(), -1);
}

}  // namespace
}  // namespace fd::timecode
