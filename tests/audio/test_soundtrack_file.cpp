// The soundtrack as a decoded file: format, lengths, which demuxer a name goes to, bad files,
// reopening, and reading the decoded bytes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "audio/bass_files.h"
#include "audio/sound_files.h"
#include "audio/stream_opener.h"
#include "support/temp_dir.h"

namespace fd::audio {
namespace {

using testing::RampBytes;
using testing::Sounds;

std::string Read(TBassFile& file, int32_t count) {
  std::string bytes(static_cast<size_t>(count), '\0');
  const int32_t got = file.ReadData(bytes.data(), count);
  bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return bytes;
}

struct FormatCase {
  const char* name;
  std::string path;
  std::string skip;
  uint16_t channels;
  uint32_t rate;
  uint16_t bits;
  int32_t size;  // exact, or -1 for lossy files whose length the encoder pads
  int32_t durationMs;
};

TEST(SoundtrackFormat, EachKindOfFileDecodesToItsOwnRateChannelsAndWidth) {
  const auto& s = Sounds();
  const FormatCase cases[] = {
      {"16-bit stereo WAV", s.Ramp16, "", 2, 44100, 16, 441000, 2500},
      {"8-bit mono WAV", s.Ramp8, "", 1, 22050, 8, 22050, 1000},
      {"MP3", s.Mp3, s.Mp3Skip, 2, 44100, 16, -1, 2500},
      {"WMA", s.Wma, s.WmaSkip, 2, 44100, 16, -1, 2500},
  };
  std::string notMade;
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.path.empty()) {
      notMade += std::string(c.name) + ": " + c.skip + "; ";
      continue;
    }
    TBassFile file;
    file.SetFileName(c.path);
    file.Open();
    ASSERT_TRUE(file.Loaded()) << file.OpenError();
    EXPECT_EQ(file.Format.FormatTag, 0);
    EXPECT_EQ(file.Format.Channels, c.channels);
    EXPECT_EQ(file.Format.SamplesPerSec, c.rate);
    EXPECT_EQ(file.Format.BitsPerSample, c.bits);
    EXPECT_EQ(file.Format.BlockAlign, c.channels * c.bits / 8);
    EXPECT_EQ(file.Format.AvgBytesPerSec, c.rate * c.channels * c.bits / 8);
    EXPECT_EQ(file.Position(), 0);
    if (c.size >= 0) {
      EXPECT_EQ(file.Size(), c.size);
      EXPECT_EQ(file.Duration, c.durationMs);
      EXPECT_EQ(Read(file, 64), RampBytes(c.channels, c.bits, 0, 64));
    } else {
      // Lossy encoders pad to whole frames and add their own delay: close to the tone's length,
      // and the duration is the one the byte length gives.
      EXPECT_EQ(file.Size() % file.Format.BlockAlign, 0);
      EXPECT_NEAR(file.Duration, c.durationMs, 150);
      EXPECT_NEAR(file.Duration, static_cast<double>(file.Size()) * 1000 / file.Format.AvgBytesPerSec, 1.0);
    }
  }
  if (!notMade.empty()) GTEST_SKIP() << "not checked: " << notMade;
}

TEST(SoundtrackBranch, OnlyTheWmaExtensionInAnyCaseGoesToTheWindowsMediaDemuxer) {
  for (const char* name : {"show.wma", "SHOW.WMA", "Show.WmA", "/music/a.b/track.wma"}) {
    EXPECT_EQ(KindForFileName(name), StreamKind::Wma) << name;
  }
  for (const char* name : {"show.mp3", "show.wav", "show.wma.mp3", "/music/x.wma/track", "wma", "show.wmav", ""}) {
    EXPECT_EQ(KindForFileName(name), StreamKind::General) << name;
  }
}

TEST(SoundtrackOpen, AFileLoadsByItsNameAndContentOrFailsLeavingTheObjectUsable) {
  const auto& s = Sounds();
  support::testing::TempDir dir;
  const std::string wav = support::testing::ReadBytes(s.Ramp16);
  const std::string wav8 = support::testing::ReadBytes(s.Ramp8);
  const std::string wma = s.Wma.empty() ? "" : support::testing::ReadBytes(s.Wma);
  std::string noChannels = wav;
  noChannels[22] = 0;  // the header's channel count
  const std::string garbage(4096, '\x5a'), cut = wav.substr(0, 20), text = "0:00.0 1 1 not a soundtrack\r\n";
  std::filesystem::create_directory(dir / "folder.wav");
  ASSERT_EQ(mkfifo((dir / "pipe.mp3").c_str(), 0600), 0);
  const struct {
    const std::string* content;  // nullptr: not written (missing, or made above)
    const char* name;
    int channels;  // 0: the file does not load
  } cases[] = {
      {&wav, "a.wav", 2},
      {&wav, "a.mp3", 2},
      {&wav, "a.WMA", 0},  // the .WMA name takes nothing but WMA
      {&wav, "a.wma", 0},
      {&wma, "b.wma", 2},
      {&wma, "b.WMA", 2},
      {&wma, "b.mp3", 2},
      {&wav8, "concat:a.wav", 1},  // a local file, not the decoder's "concat:" protocol over a.wav
      {nullptr, "missing.wav", 0},
      {nullptr, "folder.wav", 0},
      {nullptr, "pipe.mp3", 0},
      {&text, "text.wav", 0},
      {&garbage, "garbage.mp3", 0},
      {&garbage, "garbage.wma", 0},
      {&cut, "cut-header.wav", 0},
      {&noChannels, "no-channels.wav", 0},
      {nullptr, "", 0},
  };
  const auto here = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  TBassFile file;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.content == &wma && wma.empty()) continue;
    if (c.content != nullptr) support::testing::WriteBytes(c.name, *c.content);
    file.SetFileName(c.name);
    file.Open();
    EXPECT_EQ(file.Loaded(), c.channels != 0) << file.OpenError();
    EXPECT_EQ(file.OpenError().empty(), c.channels != 0);
    if (c.channels != 0) {
      EXPECT_EQ(file.Format.Channels, c.channels);
    } else {
      EXPECT_EQ(file.Position(), -1);
      char byte = 0;
      EXPECT_EQ(file.ReadData(&byte, 1), -1);
      EXPECT_EQ(file.Seek(0), -1);
    }
  }
  std::filesystem::current_path(here);
  if (wma.empty()) GTEST_SKIP() << "WMA rows not checked: " << s.WmaSkip;
}

TEST(SoundtrackOpen, ASecondOpenReplacesTheFirstStreamWithTheNewFormat) {
  TBassPlayer player;
  player.SetFileName(Sounds().Ramp16);
  player.Open();
  ASSERT_TRUE(player.Loaded());
  EXPECT_EQ(player.Seek(1000), 0);
  player.SetFileName(Sounds().Ramp8);
  player.Open();
  ASSERT_TRUE(player.Loaded()) << player.OpenError();
  EXPECT_EQ(player.Format.Channels, 1);
  EXPECT_EQ(player.Format.BitsPerSample, 8);
  EXPECT_EQ(player.Format.SamplesPerSec, 22050u);
  EXPECT_EQ(player.Size(), 22050);
  EXPECT_EQ(player.Duration, 1000);
  EXPECT_EQ(player.Position(), 0);
  EXPECT_EQ(player.ReadByte(), testing::Ramp8(0));
}

// With a wait hook the file decodes on a thread of its own while the caller's hook runs; the
// result is the same as a decode on the caller's thread. A hook that gives up leaves nothing loaded.
TEST(SoundtrackOpen, ADecodeWithAWaitHookRunsBesideTheCallerAndCanBeGivenUp) {
  support::testing::TempDir dir;
  // Ten minutes at 8 kHz: long enough to decode that the caller is asked to wait.
  const std::string path = dir / "long.wav";
  testing::WriteRampWav(path, 1, 8000, 16, 8000 * 600);
  TBassFile plain;
  plain.FileName = path;
  plain.Open();
  ASSERT_TRUE(plain.Loaded()) << plain.OpenError();

  const struct {
    bool keepWaiting;
    bool loaded;
  } cases[] = {{true, true}, {false, false}};
  for (const auto& c : cases) {
    TBassFile file;
    file.FileName = path;
    int waits = 0;
    const std::thread::id caller = std::this_thread::get_id();
    bool onCaller = true;
    file.WhileDecoding = [&] {
      ++waits;
      onCaller = onCaller && std::this_thread::get_id() == caller;
      return c.keepWaiting;
    };
    file.Open();
    EXPECT_GE(waits, 1);
    EXPECT_TRUE(onCaller);
    EXPECT_EQ(file.Loaded(), c.loaded);
    EXPECT_EQ(file.GaveUp(), !c.keepWaiting);
    if (c.loaded) {
      EXPECT_EQ(file.Size(), plain.Size());
      EXPECT_EQ(file.Duration, plain.Duration);
    }
  }
  // The given-up decode finishes on its own; its file must still be there meanwhile.
  std::this_thread::sleep_for(std::chrono::seconds(2));
}

TEST(SoundtrackRead, SeekTakesFramePositionsInsideTheFileAndReadFollows) {
  TBassFile file;
  file.SetFileName(Sounds().Ramp16);
  file.Open();
  ASSERT_TRUE(file.Loaded());
  const struct {
    int32_t seek;
    int result;
    int32_t position;  // after the seek; a refused one keeps 400
  } cases[] = {
      {264600, 0, 264600}, {264601, 0, 264600}, {264603, 0, 264600}, {0, 0, 0},         {4, 0, 4},
      {-4, -1, 400},       {-1, -1, 400},       {441000, 0, 441000}, {441004, -1, 400}, {INT32_MAX, -1, 400},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.seek);
    ASSERT_EQ(file.Seek(400), 0);
    EXPECT_EQ(file.Seek(c.seek), c.result);
    EXPECT_EQ(file.Position(), c.position);
    const std::string bytes = Read(file, 8);
    EXPECT_EQ(bytes, RampBytes(2, 16, c.position, std::min(8, 441000 - c.position)));
  }
  EXPECT_EQ(file.Seek(440998), 0);  // inside the last frame: from its start
  EXPECT_EQ(Read(file, 100), RampBytes(2, 16, 440996, 4));
  EXPECT_TRUE(file.Eof());
  EXPECT_EQ(file.ReadByte(), 0);
  char byte = 0;
  EXPECT_EQ(file.ReadData(&byte, 1), 0);
  EXPECT_EQ(file.ReadData(nullptr, 1), -1);
  EXPECT_EQ(file.ReadData(&byte, -1), -1);
}

}  // namespace
}  // namespace fd::audio
