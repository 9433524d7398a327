#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "timecode/timecode_frame.h"

namespace fd::timecode {

// Decoded frames as a timecode source would give them, for the chase's tests, its benchmark and
// its fuzz target: a rate, a start label, a source running fast or slow, edges heard with jitter,
// and on demand silence or a cut to another label.
class FrameGenerator {
 public:
  struct Signal {
    FrameRate rate = FrameRate::Fps25;
    Timecode start;
    double startHeardMs = 0;  // the first frame's edge on the platform's tick scale
    double ppm = 0;           // the source's clock against ours: +1000 runs 0.1 % fast
    double jitterMs = 0;      // each edge heard up to this early or late (uniform)
    uint32_t seed = 1;
  };

  explicit FrameGenerator(const Signal& signal);

  // The next frame; its edge lies exactly where the source put it, the heard moment jittered.
  DecodedFrame Next();
  // Where the source's next edge truly lies (no jitter) and its label.
  double NextEdgeMs() const { return edgeMs_; }
  int64_t NextNumber() const { return number_; }
  // Silence for this long: frames that would have come are not produced.
  void Skip(double ms);
  // The source is cut to another label, its next frame heard a frame after the last one.
  void CutTo(const Timecode& label);
  // The timecode (real ms from 00:00:00:00 at the rate) that the source shows at a moment: the
  // truth the chase is measured against.
  double TimecodeAt(double atMs) const;
  double FrameMs() const;

  // Frames until heard at or after untilMs (exclusive).
  std::vector<DecodedFrame> Until(double untilMs);

 private:
  Signal signal_;
  int64_t number_;
  double edgeMs_;
  std::mt19937 random_;
};

}  // namespace fd::timecode
