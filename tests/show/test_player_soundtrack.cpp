// The soundtrack as the show player drives it: loading with its error message, starting in step
// with the show clock, and which stops silence it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "player_bench.h"

namespace fd::show {
namespace {

using testing::PlayerBench;
using testing_cues::Channel;

// 8-bit mono: one byte a sample, 8000 bytes a second.
constexpr int kRate = 8000;
// The device is SDL's dummy output unless the environment names another.
const bool kDummyOutput = (setenv("SDL_AUDIODRIVER", "dummy", 0), true);

// A plain PCM WAV, 8-bit mono, of the given length.
void WriteWav(const std::string& path, int seconds) {
  const uint32_t data = static_cast<uint32_t>(kRate * seconds);
  std::string bytes = "RIFF....WAVEfmt ";
  for (uint32_t v : {16u, 0x00010001u, uint32_t{kRate}, uint32_t{kRate}, 0x00080001u})
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>((v >> (8 * i)) & 0xFF);
  bytes += "data";
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>((data >> (8 * i)) & 0xFF);
  for (int i = 0; i < 4; ++i) bytes[4 + static_cast<size_t>(i)] = static_cast<char>(((36 + data) >> (8 * i)) & 0xFF);
  bytes.append(data, '\x80');
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(PlayerSoundtrack, FileThatCannotBeLoadedIsReportedToTheOperator) {
  PlayerBench b;
  EXPECT_FALSE(b.player->LoadSoundtrack(b.logDir / "missing.wav"));
  ASSERT_EQ(b.platform.messages.size(), 1u);
  EXPECT_EQ(b.platform.messages[0].text, "Ошибка загрузки фонограммы");
  EXPECT_EQ(b.platform.messages[0].caption, "Ошибка");
  // The box keeps its text; the run log and the command line read why.
  EXPECT_EQ(b.platform.messages[0].record, "Ошибка загрузки фонограммы: файл не найден");
  EXPECT_FALSE(b.player->Soundtrack->Loaded());
}

TEST(PlayerSoundtrack, PlaysInStepWithTheClockAndOnlyTheOperatorsStopSilencesIt) {
  PlayerBench b;
  if (!audio::AudioReady()) GTEST_SKIP() << "no audio device (SDL_AUDIODRIVER=dummy gives one)";
  b.QuietEngine();
  b.AddConsole(3, 0x165);
  b.Register({3});
  b.Load({Channel(1000, 3, 1), Channel(4000, 3, 2)});
  WriteWav(b.logDir / "track.wav", 10);
  ASSERT_TRUE(b.player->LoadSoundtrack(b.logDir / "track.wav"));
  EXPECT_TRUE(b.platform.messages.empty());

  b.player->Start(0);
  EXPECT_TRUE(b.player->Soundtrack->IsPlaying());
  b.Advance(3200);
  b.player->Stop(true);
  EXPECT_FALSE(b.player->Soundtrack->IsPlaying());

  // Resumed from the clock: the soundtrack from 3.2 s (byte 25600), give or take what the device
  // has taken meanwhile in real time.
  b.player->Start(b.player->Clock);
  EXPECT_TRUE(b.player->Soundtrack->IsPlaying());
  const int32_t position = b.player->Soundtrack->Position();
  EXPECT_GE(position, 3200 * kRate / 1000);
  EXPECT_LT(position, 3200 * kRate / 1000 + kRate);

  // The end of the show stops the show, not the music.
  ASSERT_TRUE(b.RunUntilStopped(3000));
  EXPECT_EQ(b.log.Size(), 2u);
  EXPECT_TRUE(b.player->Soundtrack->IsPlaying());

  // Loading again releases the first stream; closing leaves nothing loaded.
  ASSERT_TRUE(b.player->LoadSoundtrack(b.logDir / "track.wav"));
  b.player->CloseSoundtrack();
  EXPECT_FALSE(b.player->Soundtrack->Loaded());
  EXPECT_FALSE(b.player->Soundtrack->IsPlaying());
}

}  // namespace
}  // namespace fd::show
