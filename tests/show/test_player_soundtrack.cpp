// The soundtrack as the show player drives it: loading with its error message, starting in step
// with the show clock, and which stops silence it.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "player_bench.h"

namespace fd::show {
namespace {

using testing::PlayerBench;
using testing_cues::Channel;

constexpr int kRate = 8000;  // 8-bit mono: one byte a sample, 8000 bytes a second

void PutLe(std::ofstream& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A plain PCM WAV of the given length, 8-bit mono.
void WriteWav(const std::string& path, int seconds) {
  const uint32_t data = static_cast<uint32_t>(kRate * seconds);
  std::ofstream out(path, std::ios::binary);
  out << "RIFF";
  PutLe(out, 36 + data, 4);
  out << "WAVEfmt ";
  PutLe(out, 16, 4);
  PutLe(out, 1, 2);  // PCM
  PutLe(out, 1, 2);  // mono
  PutLe(out, kRate, 4);
  PutLe(out, kRate, 4);
  PutLe(out, 1, 2);
  PutLe(out, 8, 2);
  out << "data";
  PutLe(out, data, 4);
  for (uint32_t i = 0; i < data; ++i) out.put(static_cast<char>(0x80 + (i % 32)));
}

TEST(PlayerSoundtrack, FileThatCannotBeLoadedIsReportedToTheOperator) {
  PlayerBench b;
  EXPECT_FALSE(b.player->LoadSoundtrack(b.logDir / "missing.wav"));
  ASSERT_EQ(b.platform.messages.size(), 1u);
  EXPECT_EQ(b.platform.messages[0].text, "Ошибка загрузки фонограммы");
  EXPECT_EQ(b.platform.messages[0].caption, "Ошибка");
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
