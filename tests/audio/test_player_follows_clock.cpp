// The show player keeps its soundtrack on its clock: on the virtual platform, with a test sound
// device 500 ppm fast, five minutes of direct show told nothing but the player's own ticks.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "audio/drifting_output.h"
#include "audio/tone_follower.h"
#include "show/player_bench.h"

namespace fd::show {
namespace {

using testing::PlayerBench;
using testing_cues::Channel;

constexpr int kRate = 8000;
constexpr int kShowMs = 300000;

TEST(PlayerFollowsClock, TheSoundtrackStaysOnTheShowClockOnASoundCardRunningFast) {
  support::testing::TempDir dir;
  const std::string tone = dir / "tone.wav";
  audio::testing::WriteToneWav(tone, kRate, int64_t{kRate} * (kShowMs / 1000 + 5));
  const struct {
    bool follow;
    double endMs;  // heard minus the show clock at the end of the show
    double toleranceMs;
  } cases[] = {{true, 0, 5}, {false, 150, 5}};  // 500 ppm of five minutes are 150 ms
  for (const auto& c : cases) {
    SCOPED_TRACE(c.follow);
    audio::DriftingOutput device(+500);
    audio::SetOutputBackend(&device);
    {
      PlayerBench b;
      const uint64_t opened = b.Now();  // the device opened with the player
      b.QuietEngine();
      b.AddConsole(3, 0x165);
      b.Register({3});
      b.Load({Channel(kShowMs + 10000, 3, 1)});  // the show runs on past the measuring
      ASSERT_TRUE(b.player->LoadSoundtrack(tone));
      b.player->Soundtrack->SetFollowsShowClock(c.follow);
      audio::testing::ToneFollower heard(kRate, audio::DriftingOutput::kRate);
      // The card has played on all the while the bench was set up; the show starts on top of that.
      device.PlayUntil(static_cast<double>(b.Now() - opened) / 1000.0);
      b.player->Start(0);
      const uint64_t started = b.Now();
      const int64_t firstFrame = device.FramesPlayed();
      double worstMs = 0;
      double endMs = 0;
      while (b.Now() - started < kShowMs) {
        // The card plays on millisecond by millisecond, whenever the player's timer happens to tick.
        device.PlayUntil(static_cast<double>(b.Now() + 1 - opened) / 1000.0);
        b.Advance(1);
        const uint32_t showMs = b.platform.GetClock().TickCount() - b.player->StartTick;
        endMs = heard.SecondsAt(device.FramesPlayed() - firstFrame) * 1000.0 - showMs;
        worstMs = std::max(worstMs, std::fabs(endMs));
      }
      EXPECT_NEAR(endMs, c.endMs, c.toleranceMs);
      EXPECT_LE(worstMs, c.follow ? 5.0 : 160.0);
      EXPECT_NEAR(b.player->Soundtrack->ClockDistanceMs(), endMs, 1.0);
      EXPECT_EQ(heard.Breaks(), 0);
      b.player->Stop(true);
    }
    audio::SetOutputBackend(nullptr);
  }
}

}  // namespace
}  // namespace fd::show
