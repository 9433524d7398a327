#include "audio/drifting_output.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>

namespace fd::audio {

namespace {
constexpr int kChannels = 2;
constexpr int kFrameBytes = kChannels * 2;
// What one MixOutput hands over at most: about the period of a real device.
constexpr int64_t kBlockFrames = 1024;
}  // namespace

DriftingOutput::DriftingOutput(double ppm, int64_t queuedFrames)
    : ppm_(ppm), queuedFrames_(std::max<int64_t>(queuedFrames, 0)) {}

bool DriftingOutput::Open(DeviceFormat& format) {
  format.SampleRate = kRate;
  format.SdlFormat = AUDIO_S16SYS;
  format.Channels = kChannels;
  played_ = 0;
  taken_ = 0;
  buffer_.assign(static_cast<size_t>(kBlockFrames * kFrameBytes), 0);
  return true;
}

void DriftingOutput::Opened() {
  for (taken_ = 0; taken_ < queuedFrames_; taken_ += std::min(kBlockFrames, queuedFrames_ - taken_))
    MixOutput(buffer_.data(), static_cast<int>(std::min(kBlockFrames, queuedFrames_ - taken_) * kFrameBytes));
}

void DriftingOutput::Close() { buffer_.clear(); }

void DriftingOutput::PlayUntil(double seconds) {
  if (buffer_.empty()) return;  // not open
  const auto due = static_cast<int64_t>(std::floor(seconds * kRate * (1.0 + ppm_ * 1e-6)));
  if (due <= played_) return;
  // The sound of a frame is taken before it is played, and the queue is refilled as it drains.
  while (taken_ < due + queuedFrames_) {
    const int64_t frames = std::min(kBlockFrames, due + queuedFrames_ - taken_);
    MixOutput(buffer_.data(), static_cast<int>(frames * kFrameBytes));
    taken_ += frames;
  }
  played_ = due;
}

}  // namespace fd::audio
