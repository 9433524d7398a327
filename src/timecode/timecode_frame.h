#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fd::timecode {

// SMPTE frame rates the console chases; 29.97 is always drop-frame, as show tracks are made.
enum class FrameRate : uint8_t { Unknown, Fps24, Fps25, Fps2997Drop, Fps30 };

// "24", "25", "29.97df", "30"; "?" for Unknown.
const char* FrameRateText(FrameRate rate);
// Frames a second as the label counts them (30 for 29.97 drop-frame); 0 for Unknown.
int NominalFrames(FrameRate rate);
// The real length of one frame in milliseconds (1001/30 for 29.97).
double FrameDurationMs(FrameRate rate);

struct Timecode {
  int hours = 0;
  int minutes = 0;
  int seconds = 0;
  int frames = 0;
  bool operator==(const Timecode&) const = default;
};

// Whether the label can exist at the rate (a drop-frame label skips frames 0 and 1 of each
// minute but every tenth).
bool IsValidLabel(const Timecode& label, FrameRate rate);
// Frames counted from 00:00:00:00 to the label (drop-frame labels counted as such).
int64_t FrameNumber(const Timecode& label, FrameRate rate);
// The label of a frame number at the rate; the count wraps at 24 hours.
Timecode LabelOfFrame(int64_t frame, FrameRate rate);
// Real time from 00:00:00:00 to the start of the labelled frame, in milliseconds.
double TimecodeMs(const Timecode& label, FrameRate rate);

// "HH:MM:SS:FF" (or "HH:MM:SS;FF", as drop-frame is written); nullopt for anything else, or for
// fields out of range (hours 0..23, minutes and seconds 0..59, frames 0..29).
std::optional<Timecode> ParseTimecode(std::string_view text);
// "01:02:03:04", or "01:02:03;04" at 29.97 drop-frame.
std::string TimecodeText(const Timecode& label, FrameRate rate);

// One frame as the decoder hands it over: its label, the rate told from the signal, and when its
// first edge was heard, on the same millisecond scale as the show's own clock (the platform's
// ticks), with the fraction the sample position gives.
struct DecodedFrame {
  Timecode label;
  FrameRate rate = FrameRate::Unknown;
  double heardMs = 0;
  // Peak level of the frame's samples in dBFS (the cable check shows it).
  float levelDbfs = -120;
};

}  // namespace fd::timecode
