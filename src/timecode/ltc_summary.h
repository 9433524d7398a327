#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "timecode/timecode_frame.h"

namespace fd::timecode {

// Where the timecode stopped being heard, and for how long.
struct TimecodeDropout {
  double atMs = 0;  // the end of the last frame heard before it
  double lengthMs = 0;
  Timecode after;  // that frame's label
};

// Where the labels stopped following the time heard.
struct TimecodeJump {
  double atMs = 0;  // when the first frame of the new run was heard
  Timecode from;    // the last label before it
  Timecode to;
  double byMs = 0;  // how far the labels moved beyond the time that passed (negative: back)
};

struct TimecodeSummary {
  int64_t frames = 0;
  std::optional<Timecode> first;
  std::optional<Timecode> last;
  FrameRate rate = FrameRate::Unknown;  // the rate most frames came at
  std::vector<TimecodeDropout> dropouts;
  std::vector<TimecodeJump> jumps;
};

// Sums up a run of decoded frames as the operator checks a tape: first and last label, the rate,
// and every dropout and jump. Frames go in in the order heard.
class TimecodeTally {
 public:
  void Add(const DecodedFrame& frame);
  TimecodeSummary Summary() const;

 private:
  TimecodeSummary summary_;
  std::array<int64_t, 5> byRate_{};
  std::optional<DecodedFrame> previous_;
};

// Whether the labels of `next`, heard `elapsedMs` after `previous`, follow on from it at the rate;
// delta receives how many frames they are off (0 when they follow).
bool FollowsOn(const DecodedFrame& previous, const DecodedFrame& next, int64_t& delta);

}  // namespace fd::timecode
