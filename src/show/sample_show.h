#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "devices/cue_record.h"

namespace fd::show {

// A one-minute show made for the shipped virtual bench, so that the console can be watched going
// through the whole path without any file shipped: every cue stands on a console and a channel
// that is there and connected, so every cue really fires.
struct SampleShow {
  // In time order, as the file lists them; Line numbers the file's lines, texts are UTF-8.
  std::vector<devices::CueRecord> Cues;
  std::vector<std::string> FieldTexts;    // the third field of each cue as written: "12", "#LT#2.5#80"
  std::vector<std::string> CommentBytes;  // each cue's comment in Windows-1251
  int32_t LengthMs = 0;                   // the last cue's time
};

SampleShow MakeSampleShow();

// The scenario file's bytes: Windows-1251, one cue a line, TAB-separated, CR LF.
std::string SampleScenarioBytes(const SampleShow& show);

// A mono 16-bit PCM WAV holding a sine tone of the given length.
std::string ToneWavBytes(int32_t lengthMs, int sampleRate = 44100, double frequencyHz = 440.0);

// The soundtrack runs a second past the last cue, so the show ends on the sound, not on a cue.
inline constexpr int32_t kSampleSoundtrackTailMs = 1000;

struct SampleShowFiles {
  std::string ScenarioPath;
  std::string SoundtrackPath;
};

// Writes the scenario ("demo-show.txt") and its soundtrack ("demo-show.wav") into folder, which
// must exist. False, with error saying which file, when either could not be written.
bool WriteSampleShow(const SampleShow& show, const std::string& folder, SampleShowFiles& files, std::string& error);

}  // namespace fd::show
