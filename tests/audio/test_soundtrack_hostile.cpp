// Soundtracks a careless or hostile user would pick: what is no file, a playlist that points at a
// named pipe, files whose decoded sound would take gigabytes. Each is refused quickly, with a
// reason for the log, and without taking the memory it asks for.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <chrono>
#include <string>
#include <thread>

#include "audio/bass_files.h"
#include "audio/sound_files.h"
#include "support/temp_dir.h"

namespace fd::audio {
namespace {

using support::testing::TempDir;
using support::testing::WriteBytes;

int64_t PeakMemoryMb() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

// MPEG-1 layer III frames of silence, 32 kbit/s mono at 48 kHz: 96 bytes for 24 ms each, their
// side information all zero, so the decoder makes 1152 samples of nothing from each.
std::string SilentMp3(size_t bytes) {
  std::string frame(96, '\0');
  frame[0] = '\xFF';
  frame[1] = '\xFB';
  frame[2] = '\x14';
  frame[3] = '\xC0';
  std::string out;
  out.reserve(bytes);
  while (out.size() + frame.size() <= bytes) out += frame;
  return out;
}

TEST(SoundtrackHostile, FilesThatAreNoSoundtrackAreRefusedQuicklyWithTheReason) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((dir / "segment.ts").c_str(), 0600), 0);
  ASSERT_EQ(::mkdir((dir / "folder.wav").c_str(), 0700), 0);
  // A playlist saved under a soundtrack's name: the decoder would open its segment, a pipe.
  WriteBytes(dir / "playlist.wav",
             "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10.0,\nsegment.ts\n#EXT-X-ENDLIST\n");
  WriteBytes(dir / "list.mp3", "ffconcat version 1.0\nfile pipe.wav\n");
  // One sample a second: the output's converter would take hundreds of megabytes for it.
  testing::WriteRampWav(dir / "one-hertz.wav", 1, 1, 16, 4);
  // 12 MB of 8-bit mono at 1 kHz are 3 h 20 min.
  testing::WriteRampWav(dir / "long.wav", 1, 1000, 8, 12'000'000);
  // A header that claims 4 GB over one second of sound: the file's size is what counts.
  testing::WriteRampWav(dir / "claims-more.wav", 1, 8000, 8, 8000);
  {
    std::fstream header(dir / "claims-more.wav", std::ios::in | std::ios::out | std::ios::binary);
    header.seekp(40);
    header.write("\xF0\xFF\xFF\xFF", 4);
  }
  WriteBytes(dir / "silence.mp3", SilentMp3(50u << 20));
  testing::WriteRampWav(dir / "fast.wav", 1, 4'000'000, 16, 1000);

  const struct {
    const char* name;
    std::string reason;  // how OpenError starts
  } cases[] = {
      {"pipe.wav", "не обычный файл"},
      {"folder.wav", "не обычный файл"},
      {"playlist.wav", "неподдерживаемый формат"},
      {"list.mp3", "неподдерживаемый формат"},
      {"one-hertz.wav", "неподдерживаемая частота дискретизации (1 Гц)"},
      {"long.wav", "слишком длинная (3 ч 20 мин, наибольшая 3 ч)"},
      {"silence.mp3", "слишком длинная (3 ч 38 мин, наибольшая 3 ч)"},
      {"fast.wav", "неподдерживаемая частота дискретизации (4000000 Гц)"},
      {"missing.wav", "файл не найден"},
  };
  const int64_t peakBefore = PeakMemoryMb();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Should the decoder wait on a pipe after all, a writer turns up after five seconds and the
    // time check fails instead of the test hanging.
    std::atomic<bool> done{false};
    std::thread rescue([&] {
      for (int i = 0; i < 500 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      for (const char* pipe : {"pipe.wav", "segment.ts"})
        if (!done) ::close(::open((dir / pipe).c_str(), O_WRONLY | O_NONBLOCK));
    });
    TBassFile file;
    file.SetFileName(dir / c.name);
    const auto start = std::chrono::steady_clock::now();
    file.Open();
    done = true;
    rescue.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_FALSE(file.Loaded());
    EXPECT_EQ(file.OpenError().rfind(c.reason, 0), 0u) << file.OpenError();
  }
  TBassFile claimsMore;
  claimsMore.SetFileName(dir / "claims-more.wav");
  claimsMore.Open();
  EXPECT_TRUE(claimsMore.Loaded()) << claimsMore.OpenError();
  EXPECT_LT(PeakMemoryMb() - peakBefore, 200) << "MB taken while refusing";
}

}  // namespace
}  // namespace fd::audio
