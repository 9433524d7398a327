#include "audio/resample_stage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace fd::audio {

namespace {
// A stretch is spread over ten seconds of output, so that a millionth of speed is still a whole
// sample; the loop sets it again long before the ten seconds are over.
constexpr int kStretchSeconds = 10;
}  // namespace

ResampleStage::ResampleStage(int inRate, int outRate, int channels)
    : inRate_(inRate), outRate_(outRate), channels_(channels), frameBytes_(channels * 2) {
  if (inRate <= 0 || outRate <= 0 || channels <= 0) return;
  AVChannelLayout layout;
  av_channel_layout_default(&layout, channels);
  SwrContext* swr = nullptr;
  const bool made = swr_alloc_set_opts2(&swr, &layout, AV_SAMPLE_FMT_S16, outRate, &layout, AV_SAMPLE_FMT_S16, inRate,
                                        0, nullptr) == 0;
  av_channel_layout_uninit(&layout);
  // The resampler even at one rate: a stretch needs it, and it must not be built in the middle of
  // the sound.
  if (!made || av_opt_set_int(swr, "flags", SWR_FLAG_RESAMPLE, 0) < 0 || swr_init(swr) < 0) {
    swr_free(&swr);
    return;
  }
  swr_ = swr;
  Reset();
}

ResampleStage::~ResampleStage() { swr_free(&swr_); }

void ResampleStage::Reset() {
  if (swr_ == nullptr) return;
  swr_init(swr_);  // forgets every frame held and any compensation
  active_ = inRate_ != outRate_;
  finished_ = false;
  stretch_ = 0;
  ready_.clear();
  readyStart_ = 0;
}

void ResampleStage::SetStretch(double stretch) {
  // Set again even when unchanged: the compensation lapses after its ten seconds.
  if (swr_ == nullptr || (stretch == 0 && !active_)) return;
  const int distance = outRate_ * kStretchSeconds;
  const auto delta = static_cast<int>(std::lround(stretch * distance));
  if (swr_set_compensation(swr_, delta, delta == 0 ? 0 : distance) < 0) return;
  stretch_ = stretch;
  active_ = true;
}

void ResampleStage::Convert(const uint8_t* data, int32_t frames) {
  const int capacity = swr_get_out_samples(swr_, frames);
  if (capacity <= 0) return;
  // What was taken is dropped from the front before the buffer grows.
  if (readyStart_ > 0) {
    ready_.erase(ready_.begin(), ready_.begin() + static_cast<std::ptrdiff_t>(readyStart_));
    readyStart_ = 0;
  }
  const size_t had = ready_.size();
  ready_.resize(had + static_cast<size_t>(capacity) * static_cast<size_t>(frameBytes_));
  uint8_t* out[1] = {ready_.data() + had};
  const uint8_t* in[1] = {data};
  const int got = swr_convert(swr_, out, capacity, data != nullptr ? in : nullptr, frames);
  ready_.resize(had + static_cast<size_t>(std::max(got, 0)) * static_cast<size_t>(frameBytes_));
}

void ResampleStage::Put(const uint8_t* data, int32_t bytes) {
  if (swr_ == nullptr || finished_ || bytes < frameBytes_) return;
  Convert(data, bytes / frameBytes_);
}

void ResampleStage::Finish() {
  if (swr_ == nullptr || finished_) return;
  Convert(nullptr, 0);
  finished_ = true;
}

int32_t ResampleStage::Take(uint8_t* out, int32_t bytes) {
  const int32_t n = std::min(bytes / frameBytes_ * frameBytes_, ReadyBytes());
  if (n <= 0) return 0;
  std::memcpy(out, ready_.data() + readyStart_, static_cast<size_t>(n));
  readyStart_ += static_cast<size_t>(n);
  return n;
}

double ResampleStage::HeldInputFrames() const {
  if (swr_ == nullptr || !active_) return 0;
  // The delay in thousandths of an input frame: the resampler's fraction of a frame counts.
  const double inResampler = static_cast<double>(swr_get_delay(swr_, static_cast<int64_t>(inRate_) * 1000)) / 1000.0;
  const double readyFrames = static_cast<double>(ReadyBytes()) / frameBytes_;
  return inResampler + readyFrames * inRate_ / outRate_ / (1.0 + stretch_);
}

}  // namespace fd::audio
