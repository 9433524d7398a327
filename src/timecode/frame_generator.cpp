#include "timecode/frame_generator.h"

#include <cmath>

namespace fd::timecode {

FrameGenerator::FrameGenerator(const Signal& signal)
    : signal_(signal),
      number_(FrameNumber(signal.start, signal.rate)),
      edgeMs_(signal.startHeardMs),
      random_(signal.seed) {}

double FrameGenerator::FrameMs() const { return FrameDurationMs(signal_.rate) / (1.0 + signal_.ppm * 1e-6); }

DecodedFrame FrameGenerator::Next() {
  DecodedFrame frame;
  frame.label = LabelOfFrame(number_, signal_.rate);
  frame.rate = signal_.rate;
  double jitter = 0;
  if (signal_.jitterMs > 0)
    jitter = std::uniform_real_distribution<double>(-signal_.jitterMs, signal_.jitterMs)(random_);
  frame.heardMs = edgeMs_ + jitter;
  frame.levelDbfs = -12;
  ++number_;
  edgeMs_ += FrameMs();
  return frame;
}

void FrameGenerator::Skip(double ms) {
  const auto frames = static_cast<int64_t>(std::floor(ms / FrameMs()));
  number_ += frames;
  edgeMs_ += static_cast<double>(frames) * FrameMs();
}

void FrameGenerator::CutTo(const Timecode& label) { number_ = FrameNumber(label, signal_.rate); }

double FrameGenerator::TimecodeAt(double atMs) const {
  const double frames = (atMs - edgeMs_) / FrameMs();
  return (static_cast<double>(number_) + frames) * FrameDurationMs(signal_.rate);
}

std::vector<DecodedFrame> FrameGenerator::Until(double untilMs) {
  std::vector<DecodedFrame> out;
  while (edgeMs_ < untilMs) out.push_back(Next());
  return out;
}

}  // namespace fd::timecode
