#pragma once

// Test signals: SMPTE LTC made with libltc's own encoder, with the faults a cable and a sound desk
// bring (a clock that runs fast or slow, noise, a dropout, a jump to another label), and the exact
// moment each frame's first edge goes out, for the tests to compare decoded times with.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "timecode/timecode_frame.h"

namespace fd::testing {

struct LtcDropout {
  double atSeconds = 0;
  double seconds = 0;
};

// From the first frame that starts at or after atSeconds, the labels go on from `to`.
struct LtcJump {
  double atSeconds = 0;
  timecode::Timecode to;
};

struct LtcSignalSpec {
  timecode::FrameRate rate = timecode::FrameRate::Fps25;
  timecode::Timecode start{1, 0, 0, 0};
  double seconds = 10;
  uint32_t sampleRate = 48000;
  // The sender's clock against true time: +1000 runs fast (a thousandth more frames a second).
  double clockErrorPpm = 0;
  // Peak level of the timecode, dBFS.
  double levelDbfs = -3;
  // White noise this many dB below the timecode's power; none when unset.
  std::optional<double> snrDb;
  std::vector<LtcDropout> dropouts;
  std::vector<LtcJump> jumps;
};

struct IdealFrame {
  timecode::Timecode label;
  double edgeMs = 0;    // the first edge, from the start of the signal
  bool audible = true;  // false when any of it falls into a dropout
};

struct LtcSignal {
  uint32_t sampleRate = 48000;
  std::vector<int16_t> samples;  // mono
  std::vector<IdealFrame> frames;
};

LtcSignal MakeLtcSignal(const LtcSignalSpec& spec);

// A 16-bit PCM WAV file; `channels` > 1 puts the signal on channel `onChannel` and a 1 kHz tone at
// -6 dBFS on the others (music beside the timecode). False when the file cannot be written.
bool WriteWav(const std::string& path, const std::vector<int16_t>& mono, uint32_t sampleRate, int channels = 1,
              int onChannel = 0);

// The label `seconds` after `label` at the rate (negative goes back).
timecode::Timecode LabelAfter(const timecode::Timecode& label, timecode::FrameRate rate, double seconds);

}  // namespace fd::testing
