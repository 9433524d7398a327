// The soundtrack against the show clock when the sound card's crystal runs fast or slow: a test
// device that plays a set number of ppm off the virtual clock, a tone whose phase tells which
// moment of the file each frame of the output carries, an hour of show in blocks of 100 ms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "audio/bass_files.h"
#include "audio/delivery_recorder.h"
#include "audio/drifting_output.h"
#include "audio/sound_files.h"
#include "audio/tone_follower.h"
#include "support/temp_dir.h"

namespace fd::audio {
namespace {

using testing::DeliveryRecorder;
using testing::ToneFollower;

constexpr int kToneRate = 8000;  // the device's is 44100: the file goes through the resampler
constexpr int32_t kStepMs = 100;

// One tone file for the whole run, long enough for an hour of show.
const std::string& ToneFile() {
  static support::testing::TempDir dir;
  static const std::string path = [] {
    const std::string p = dir / "tone-8k.wav";
    testing::WriteToneWav(p, kToneRate, int64_t{kToneRate} * 3605);
    return p;
  }();
  return path;
}

// The test device stands behind the output while it lives.
struct TestDevice {
  explicit TestDevice(double ppm, int64_t queuedFrames = 0) : output(ppm, queuedFrames) { SetOutputBackend(&output); }
  ~TestDevice() { SetOutputBackend(nullptr); }
  DriftingOutput output;
};

std::unique_ptr<TBassPlayer> Loaded(const std::string& path) {
  auto player = std::make_unique<TBassPlayer>();
  player->SetFileName(path);
  player->Open();
  EXPECT_TRUE(player->Loaded()) << player->OpenError();
  return player;
}

struct ShowRun {
  double worstMs = 0;          // the largest distance heard at any step
  double endMs = 0;            // heard minus show clock at the end, from the tone
  double firstMeasuredMs = 0;  // the player's own measurement after the first step
  double endMeasuredMs = 0;    // and at the end
  double mostStretch = 0;
  int64_t breaks = 0;
};

// Starts the tone at 0 with the show and runs the show clock for seconds, telling the player where
// it stands after every step, as the show player does on its timer.
ShowRun PlayWithTheShow(double ppm, bool follow, int seconds, int64_t queuedFrames = 0) {
  TestDevice device(ppm, queuedFrames);
  auto player = Loaded(ToneFile());
  player->SetFollowsShowClock(follow);
  ToneFollower tone(kToneRate, DriftingOutput::kRate);
  ShowRun run;
  player->PlayFrom(0);
  for (int32_t showMs = kStepMs; showMs <= seconds * 1000; showMs += kStepMs) {
    device.output.PlayUntil(showMs / 1000.0);
    player->FollowShowClock(showMs);
    if (showMs == kStepMs) run.firstMeasuredMs = player->ClockDistanceMs();
    run.endMs = tone.SecondsAt(device.output.FramesPlayed() - queuedFrames) * 1000.0 - showMs;
    run.worstMs = std::max(run.worstMs, std::fabs(run.endMs));
    run.mostStretch = std::max(run.mostStretch, std::fabs(player->SpeedStretch()));
  }
  run.endMeasuredMs = player->ClockDistanceMs();
  run.breaks = tone.Breaks();
  EXPECT_GE(tone.Frames(), static_cast<int64_t>(DriftingOutput::kRate * seconds * (1 + ppm * 1e-6)) - 1);
  return run;
}

TEST(SoundtrackDrift, AnHourOnACrystalHalfAPermilleOffStaysWithinFiveMsOfTheShowClock) {
  const struct {
    double ppm;
    bool follow;
    int seconds;
    int64_t queuedFrames;  // what the device holds before it plays
    double endMs;          // where the sound ends up against the clock, give or take toleranceMs
    double toleranceMs;
    double worstMs;
    double leastStretch;  // the player did have to work
  } cases[] = {
      {+500, true, 3600, 0, 0, 5, 5, 0.0004},
      {-500, true, 3600, 0, 0, 5, 5, 0.0004},
      // Left to its own speed the sound runs away: 500 ppm of an hour are 1.8 s.
      {+500, false, 3600, 0, +1800, 5, 1805, 0},
      {-500, false, 3600, 0, -1800, 5, 1805, 0},
      // 1024 frames queued are heard 23.2 ms after the start: the player measures that from the
      // start and brings the sound onto the clock smoothly.
      {0, true, 90, 1024, 0, 1, 24, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.ppm << " ppm, following " << c.follow << ", queued " << c.queuedFrames);
    const ShowRun run = PlayWithTheShow(c.ppm, c.follow, c.seconds, c.queuedFrames);
    EXPECT_NEAR(run.endMs, c.endMs, c.toleranceMs);
    EXPECT_LE(run.worstMs, c.worstMs);
    EXPECT_LE(run.mostStretch, c.follow ? 0.001 : 0.0);
    EXPECT_GE(run.mostStretch, c.leastStretch);
    // The player knows where its sound is, to well within a millisecond, from the first step on.
    EXPECT_NEAR(run.firstMeasuredMs, -c.queuedFrames * 1000.0 / DriftingOutput::kRate, 0.5);
    EXPECT_NEAR(run.endMeasuredMs, run.endMs, 0.5);
    // Every frame steps on from the one before as the file does: nothing dropped, repeated or
    // clicked, the speed changes included.
    EXPECT_EQ(run.breaks, 0);
  }
}

TEST(SoundtrackDrift, OnAClockThatAgreesTheSoundIsTheFilesByteForByte) {
  support::testing::TempDir dir;
  const std::string ramp = dir / "ramp.wav";
  constexpr int kSeconds = 60;
  testing::WriteRampWav(ramp, 2, 44100, 16, int64_t{44100} * kSeconds);
  const std::string file = testing::RampBytes(2, 16, 0, int64_t{44100} * 4 * kSeconds);
  const struct {
    double ppm;
    bool untouched;
  } cases[] = {{0, true}, {+500, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ppm);
    TestDevice device(c.ppm);
    auto player = Loaded(ramp);
    DeliveryRecorder heard;
    player->PlayFrom(0);
    double mostStretch = 0;
    for (int32_t showMs = kStepMs; showMs <= kSeconds * 1000 - 500; showMs += kStepMs) {
      device.output.PlayUntil(showMs / 1000.0);
      player->FollowShowClock(showMs);
      mostStretch = std::max(mostStretch, std::fabs(player->SpeedStretch()));
    }
    const std::string out = heard.Bytes(Tap::DeviceOutput);
    ASSERT_GT(out.size(), size_t{44100} * 4 * (kSeconds - 1));
    EXPECT_EQ(out == file.substr(0, out.size()), c.untouched);
    EXPECT_EQ(mostStretch == 0, c.untouched);
  }
}

}  // namespace
}  // namespace fd::audio
