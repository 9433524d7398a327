#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace fd::audio {

// Which moment of the soundtrack a frame of the device carries. A voice notes, for every buffer it
// mixes, the device frames it filled and the soundtrack times (seconds, below zero in a lead-in)
// they start and end at; within a buffer the speed is one, so the times in between are a straight
// line. The last few buffers are kept: enough for what a device holds queued.
class HeardPosition {
 public:
  void Clear() { count_ = 0; }
  void Note(int64_t firstFrame, double firstSeconds, int64_t endFrame, double endSeconds);
  // The soundtrack time of the device frame; none when it is not among the buffers kept.
  std::optional<double> SecondsAt(int64_t frame) const;

 private:
  struct Span {
    int64_t firstFrame, endFrame;
    double firstSeconds, endSeconds;
  };
  static constexpr size_t kSpans = 32;
  std::array<Span, kSpans> spans_{};
  size_t next_ = 0;
  size_t count_ = 0;
};

}  // namespace fd::audio
