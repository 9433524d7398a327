#include "audio/sound_set.h"

#include <cstdlib>

#include "audio/sound_files.h"

namespace fd::audio::testing {

namespace {
// Before any audio object exists: the tests never make a sound and never need a sound card.
const bool kDummyOutput = (setenv("SDL_AUDIODRIVER", "dummy", 1), true);
}  // namespace

const SoundSet& Sounds() {
  static SoundSet set;
  static const bool made = [](SoundSet* s) {
    (void)kDummyOutput;
    s->Ramp16 = s->Dir / "ramp16.wav";
    WriteRampWav(s->Ramp16, 2, 44100, 16, 110250);
    s->Ramp8 = s->Dir / "ramp8.wav";
    WriteRampWav(s->Ramp8, 1, 22050, 8, 22050);
    const std::string mp3 = s->Dir / "tone.mp3";
    s->Mp3Skip = EncodeTone(mp3, "mp3", "libmp3lame", 2, 44100, 2.5);
    if (s->Mp3Skip.empty()) s->Mp3 = mp3;
    const std::string wma = s->Dir / "tone.wma";
    s->WmaSkip = EncodeTone(wma, "asf", "wmav2", 2, 44100, 2.5);
    if (s->WmaSkip.empty()) s->Wma = wma;
    return true;
  }(&set);
  (void)made;
  return set;
}

}  // namespace fd::audio::testing
