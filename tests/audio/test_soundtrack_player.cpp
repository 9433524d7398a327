// The soundtrack on the output device (SDL's dummy driver, which runs the output thread in real
// time without a sound card): what is heard first after PlayFrom, the end, Stop, and the device's
// life across objects.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "audio/bass_files.h"
#include "audio/delivery_recorder.h"
#include "audio/sound_files.h"

namespace fd::audio {
namespace {

using testing::DeliveryRecorder;
using testing::Eventually;
using testing::RampBytes;
using testing::Sounds;

constexpr auto kQuiet = std::chrono::milliseconds(80);  // several output periods of 23 ms

std::unique_ptr<TBassPlayer> LoadedPlayer(const std::string& path) {
  auto player = std::make_unique<TBassPlayer>();
  player->SetFileName(path);
  player->Open();
  EXPECT_TRUE(player->Loaded()) << player->OpenError();
  return player;
}

TEST(SoundtrackPlayer, TheFirstSampleHeardIsTheOneAtTheTimesByte) {
  TBassFile holdsTheDevice;
  ASSERT_TRUE(AudioReady());
  const auto& s = Sounds();
  const struct {
    const std::string* path;
    int channels, bits;
    int32_t ms;
    int64_t byte;    // first byte of the file heard
    size_t silence;  // bytes of silence before it: a start before the soundtrack
  } cases[] = {
      {&s.Ramp16, 2, 16, 1500, 264600, 0},  // 1.5 s of 176400 bytes a second
      {&s.Ramp16, 2, 16, 0, 0, 0},         {&s.Ramp16, 2, 16, 1, 176, 0},
      {&s.Ramp16, 2, 16, 3, 528, 0},  // 529.2 rounds to 529, between frames: the frame's start
      {&s.Ramp16, 2, 16, 2499, 440824, 0}, {&s.Ramp16, 2, 16, -100, 0, 17640},
      {&s.Ramp16, 2, 16, -3, 0, 528},      {&s.Ramp8, 1, 8, 500, 11025, 0},
      {&s.Ramp8, 1, 8, 10, 220, 0},     // 220.5: ties go to the even byte
      {&s.Ramp8, 1, 8, 30, 662, 0},     // 661.5
      {&s.Ramp8, 1, 8, 50, 1102, 0},    // 1102.5
      {&s.Ramp8, 1, 8, 999, 22028, 0},  // 22027.95, the last byte
      {&s.Ramp8, 1, 8, -100, 0, 2205},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ms);
    auto player = LoadedPlayer(*c.path);
    DeliveryRecorder heard;
    player->PlayFrom(c.ms);
    EXPECT_TRUE(player->IsPlaying());
    const size_t sound = static_cast<size_t>(std::min<int64_t>(64, player->Size() - c.byte));
    ASSERT_TRUE(heard.WaitFor(c.silence + sound));
    const std::string bytes = heard.Bytes();
    EXPECT_EQ(bytes.substr(0, c.silence), std::string(c.silence, c.bits == 8 ? '\x80' : '\0'));
    const std::string expected = RampBytes(c.channels, c.bits, c.byte, static_cast<int64_t>(sound));
    EXPECT_EQ(bytes.substr(c.silence, sound), expected);
    if (c.path == &s.Ramp16) {
      // The device's own format: what goes into its buffer is the file's bytes themselves.
      ASSERT_TRUE(heard.WaitFor(c.silence + sound, Tap::DeviceOutput));
      EXPECT_EQ(heard.Bytes(Tap::DeviceOutput).substr(0, c.silence + sound), bytes.substr(0, c.silence + sound));
    }
    player->Stop();
  }
}

TEST(SoundtrackPlayer, CompressedFilesStartAtTheSameSampleAsTheirFullDecode) {
  const auto& s = Sounds();
  const struct {
    const char* name;
    const std::string* path;
    const std::string* skip;
  } cases[] = {{"MP3", &s.Mp3, &s.Mp3Skip}, {"WMA", &s.Wma, &s.WmaSkip}};
  std::string notMade;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.path->empty()) {
      notMade += std::string(c.name) + ": " + *c.skip + "; ";
      continue;
    }
    TBassFile decode;
    decode.SetFileName(*c.path);
    decode.Open();
    ASSERT_TRUE(decode.Loaded());
    ASSERT_EQ(decode.Seek(264600), 0);
    std::string expected(256, '\0');
    ASSERT_EQ(decode.ReadData(expected.data(), 256), 256);

    auto player = LoadedPlayer(*c.path);
    DeliveryRecorder heard;
    player->PlayFrom(1500);
    ASSERT_TRUE(heard.WaitFor(256));
    EXPECT_EQ(heard.Bytes().substr(0, 256), expected);
    EXPECT_NE(expected, std::string(256, '\0'));  // the tone, not silence
  }
  if (!notMade.empty()) GTEST_SKIP() << "not checked: " << notMade;
}

TEST(SoundtrackPlayer, PlaysToTheEndThenIsNoLongerPlaying) {
  auto player = LoadedPlayer(Sounds().Ramp16);
  DeliveryRecorder heard;
  player->PlayFrom(2400);
  EXPECT_TRUE(player->IsPlaying());
  ASSERT_TRUE(Eventually([&] { return !player->IsPlaying(); }));
  EXPECT_EQ(heard.Bytes(), RampBytes(2, 16, 423360, 441000 - 423360));
  EXPECT_EQ(heard.Bytes(Tap::DeviceOutput), heard.Bytes());
  EXPECT_TRUE(player->Eof());
}

TEST(SoundtrackPlayer, AStartAtOrPastTheEndPlaysNothing) {
  auto player = LoadedPlayer(Sounds().Ramp16);
  for (int32_t ms : {2500, 2501, 60000, INT32_MAX}) {
    SCOPED_TRACE(ms);
    DeliveryRecorder heard;
    player->PlayFrom(ms);
    EXPECT_FALSE(player->IsPlaying());
    std::this_thread::sleep_for(kQuiet);
    EXPECT_EQ(heard.Bytes().size(), 0u);
    EXPECT_TRUE(player->Eof());
  }
}

// What the device receives first when ms is played from where the player stands.
std::string FirstDeviceBytes(TBassPlayer& player, int32_t ms) {
  DeliveryRecorder heard;
  player.PlayFrom(ms);
  EXPECT_TRUE(heard.WaitFor(2048, Tap::DeviceOutput));
  player.Stop();
  return heard.Bytes(Tap::DeviceOutput).substr(0, 2048);
}

TEST(SoundtrackPlayer, StopSilencesAtOnceAndTheNextStartHearsNothingOld) {
  for (const std::string* path : {&Sounds().Ramp16, &Sounds().Ramp8}) {  // as it is, and resampled
    SCOPED_TRACE(*path);
    auto fresh = LoadedPlayer(*path);
    const std::string reference = FirstDeviceBytes(*fresh, 500);

    auto player = LoadedPlayer(*path);
    DeliveryRecorder heard;
    player->PlayFrom(0);
    ASSERT_TRUE(heard.WaitFor(8192, Tap::DeviceOutput));
    player->Stop();
    EXPECT_FALSE(player->IsPlaying());
    const std::string untilStop = heard.Bytes(Tap::DeviceOutput);
    const int32_t stoppedAt = player->Position();
    std::this_thread::sleep_for(kQuiet);
    EXPECT_EQ(heard.Bytes(Tap::DeviceOutput), untilStop);  // no buffer after Stop returned
    EXPECT_EQ(player->Position(), stoppedAt);
    // Nothing of the stopped run may be heard before the new one, not even from the converter.
    EXPECT_EQ(FirstDeviceBytes(*player, 500), reference);
  }
}

TEST(SoundtrackDevice, TheFirstObjectOpensTheDeviceAndTheLastClosesIt) {
  ASSERT_EQ(InstanceCount(), 0);
  EXPECT_FALSE(AudioReady());
  auto player = std::make_unique<TBassPlayer>();
  EXPECT_EQ(InstanceCount(), 1);
  EXPECT_TRUE(AudioReady());
  auto file = std::make_unique<TBassFile>();
  EXPECT_EQ(InstanceCount(), 2);
  player->SetFileName(Sounds().Ramp16);
  player->Open();
  player->PlayFrom(0);
  player.reset();  // destroyed while playing: its stream goes, the device stays for the other
  EXPECT_EQ(InstanceCount(), 1);
  EXPECT_TRUE(AudioReady());
  file.reset();
  EXPECT_EQ(InstanceCount(), 0);
  EXPECT_FALSE(AudioReady());
  TBassFile again;
  EXPECT_TRUE(AudioReady());
}

TEST(SoundtrackDevice, WithoutADeviceFilesLoadPlayNowhereAndNoLaterObjectRetries) {
  ASSERT_EQ(InstanceCount(), 0);
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  auto player = std::make_unique<TBassPlayer>();
  EXPECT_FALSE(AudioReady());
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  {
    TBassPlayer second;
    EXPECT_FALSE(AudioReady());  // decided by the first object
    EXPECT_EQ(InstanceCount(), 2);
  }
  player->SetFileName(Sounds().Ramp16);
  player->Open();
  ASSERT_TRUE(player->Loaded()) << player->OpenError();
  EXPECT_EQ(player->Size(), 441000);
  DeliveryRecorder heard;
  player->PlayFrom(0);
  EXPECT_FALSE(player->IsPlaying());
  player->Stop();
  std::this_thread::sleep_for(kQuiet);
  EXPECT_EQ(heard.Bytes().size(), 0u);
  player.reset();
  EXPECT_EQ(InstanceCount(), 0);
  TBassPlayer afterwards;  // all gone: the next first object tries again
  EXPECT_TRUE(AudioReady());
}

}  // namespace
}  // namespace fd::audio
