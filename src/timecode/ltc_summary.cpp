#include "timecode/ltc_summary.h"

#include <algorithm>
#include <cmath>

namespace fd::timecode {

namespace {

// A tape's clock may be off by a thousandth and more; over a long dropout that many frames are not
// yet a jump.
constexpr double kClockTolerance = 0.002;
// Frames heard further apart than this have a gap between them.
constexpr double kGapFrames = 1.5;

int64_t FramesPerDay(FrameRate rate) {
  const int last = NominalFrames(rate) - 1;
  return FrameNumber(Timecode{23, 59, 59, last}, rate) + 1;
}

}  // namespace

bool FollowsOn(const DecodedFrame& previous, const DecodedFrame& next, int64_t& delta) {
  const FrameRate rate = previous.rate;
  const double frameMs = FrameDurationMs(rate);
  if (frameMs <= 0 || next.rate != rate) {
    delta = 0;
    return false;
  }
  const double elapsedFrames = (next.heardMs - previous.heardMs) / frameMs;
  // The same label twice does not follow on, however close together they came.
  const int64_t expected = FrameNumber(previous.label, rate) + std::max<int64_t>(1, std::llround(elapsedFrames));
  const int64_t perDay = FramesPerDay(rate);
  // Midnight is no jump: the labels count on from 00:00:00:00.
  delta = ((FrameNumber(next.label, rate) - expected) % perDay + perDay) % perDay;
  if (delta > perDay / 2) delta -= perDay;
  const int64_t tolerance = std::max<int64_t>(1, std::llround(elapsedFrames * kClockTolerance));
  if (std::llabs(delta) <= tolerance && elapsedFrames > kGapFrames) delta = 0;
  return delta == 0;
}

void TimecodeTally::Add(const DecodedFrame& frame) {
  ++summary_.frames;
  ++byRate_[static_cast<size_t>(frame.rate)];
  if (!summary_.first) summary_.first = frame.label;
  summary_.last = frame.label;
  if (previous_) {
    const double frameMs = FrameDurationMs(previous_->rate);
    const double endMs = previous_->heardMs + frameMs;
    if (frame.heardMs - previous_->heardMs > kGapFrames * frameMs)
      summary_.dropouts.push_back({endMs, frame.heardMs - endMs, previous_->label});
    int64_t delta = 0;
    if (!FollowsOn(*previous_, frame, delta))
      summary_.jumps.push_back({frame.heardMs, previous_->label, frame.label, static_cast<double>(delta) * frameMs});
  }
  previous_ = frame;
}

TimecodeSummary TimecodeTally::Summary() const {
  TimecodeSummary summary = summary_;
  const auto most = std::max_element(byRate_.begin(), byRate_.end());
  summary.rate = *most == 0 ? FrameRate::Unknown : static_cast<FrameRate>(most - byRate_.begin());
  return summary;
}

}  // namespace fd::timecode
