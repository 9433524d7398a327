#pragma once

#include <cstdint>
#include <vector>

#include "audio/output_backend.h"

namespace fd::audio {

// A sound device for tests and benchmarks, whose crystal runs ppm parts per million fast (or slow,
// below zero) against the clock that drives it: by a time of t seconds it has played
// t x 44100 x (1 + ppm / 1e6) frames, and the sound of each frame is in the hands of the delivery
// hook the moment it is taken. It keeps queuedFrames taken ahead of what it has played, as a sound
// card keeps its buffer (full of silence when it opens). Nothing runs by itself: the caller moves its time on with
// PlayUntil, from one thread, in blocks as large as it likes.
class DriftingOutput : public OutputBackend {
 public:
  static constexpr int kRate = 44100;

  explicit DriftingOutput(double ppm, int64_t queuedFrames = 0);

  bool Open(DeviceFormat& format) override;
  void Opened() override;
  void Close() override;
  int64_t FramesPlayed() override { return played_; }

  // Plays on until seconds after the device opened (a time before the last one changes nothing).
  void PlayUntil(double seconds);

 private:
  double ppm_;
  int64_t queuedFrames_;
  int64_t played_ = 0;
  int64_t taken_ = 0;
  std::vector<uint8_t> buffer_;
};

}  // namespace fd::audio
