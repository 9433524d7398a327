#include "audio/heard_position.h"

namespace fd::audio {

void HeardPosition::Note(int64_t firstFrame, double firstSeconds, int64_t endFrame, double endSeconds) {
  if (endFrame <= firstFrame) return;  // nothing of this voice in that buffer
  spans_[next_] = Span{firstFrame, endFrame, firstSeconds, endSeconds};
  next_ = (next_ + 1) % kSpans;
  if (count_ < kSpans) ++count_;
}

std::optional<double> HeardPosition::SecondsAt(int64_t frame) const {
  for (size_t i = 0; i < count_; ++i) {
    const Span& s = spans_[(next_ + kSpans - 1 - i) % kSpans];  // the newest first
    if (frame < s.firstFrame || frame > s.endFrame) continue;
    const double part = static_cast<double>(frame - s.firstFrame) / static_cast<double>(s.endFrame - s.firstFrame);
    return s.firstSeconds + part * (s.endSeconds - s.firstSeconds);
  }
  return std::nullopt;
}

}  // namespace fd::audio
