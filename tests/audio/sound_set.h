#pragma once

#include <string>

#include "support/temp_dir.h"

namespace fd::audio::testing {

// The files every soundtrack test uses, made once per run in a folder of their own.
struct SoundSet {
  support::testing::TempDir Dir;
  std::string Ramp16;   // 2.5 s, 16-bit stereo, 44100 Hz: 441000 bytes of ramp
  std::string Ramp8;    // 1 s, 8-bit mono, 22050 Hz: 22050 bytes of ramp
  std::string Mp3;      // 2.5 s tone, stereo 44100 Hz; empty when it could not be made
  std::string Wma;      // likewise, Windows Media audio in ASF, named .wma
  std::string Mp3Skip;  // why Mp3 could not be made
  std::string WmaSkip;
};

const SoundSet& Sounds();

}  // namespace fd::audio::testing
