#pragma once

#include <cstdint>
#include <string>

#include "support/temp_dir.h"

namespace fd::audio::testing {

// The value of a ramp sample: every 16-bit sample carries its own frame and channel, every 8-bit
// one its frame's low byte, so a byte taken from the wrong place shows at once.
int16_t Ramp16(int64_t frame, int channel);
uint8_t Ramp8(int64_t frame);

// A PCM WAV of frames ramp samples (16-bit or 8-bit).
void WriteRampWav(const std::string& path, int channels, int sampleRate, int bits, int64_t frames);

// Encodes seconds of a tone with the named encoder into the named container. Empty on success,
// else why not (a missing encoder among them), for the test to skip with.
std::string EncodeTone(const std::string& path, const char* muxer, const char* encoder, int channels, int sampleRate,
                       double seconds);

// The bytes a ramp WAV holds from byte on, count of them, as the file was written.
std::string RampBytes(int channels, int bits, int64_t byte, int64_t count);

// The files every soundtrack test uses, made once per run in a folder of their own.
struct SoundSet {
  support::testing::TempDir Dir;
  std::string Ramp16;  // 2.5 s, 16-bit stereo, 44100 Hz: 441000 bytes of ramp
  std::string Ramp8;   // 1 s, 8-bit mono, 22050 Hz: 22050 bytes of ramp
  std::string Mp3;     // 2.5 s tone, stereo 44100 Hz; empty when it could not be made (Mp3Skip says why)
  std::string Wma;     // likewise, Windows Media audio in ASF, named .wma
  std::string Mp3Skip;
  std::string WmaSkip;
};
const SoundSet& Sounds();

}  // namespace fd::audio::testing
