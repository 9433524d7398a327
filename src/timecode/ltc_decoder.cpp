#include "timecode/ltc_decoder.h"

#include <ltc.h>

#include <algorithm>
#include <cmath>

namespace fd::timecode {

namespace {

// libltc keeps its frames in a queue of its own that overwrites the oldest when full: the samples
// go in in slices short enough that no slice can complete more frames than it holds.
constexpr size_t kSliceSamples = 1024;
constexpr int kLibraryQueueFrames = 32;
constexpr float kSilenceDbfs = -120;
// A frame whose length differs from the running one by more than this starts the rate over: the
// signal changed (another tape, another rate), it did not drift.
constexpr double kRateChangeRatio = 0.10;
// LTC at a rate the console chases lies well inside this; anything else is a tape at the wrong
// speed or no timecode at all.
constexpr double kMinFps = 20;
constexpr double kNearRateRatio = 0.02;
constexpr double kMaxFps = 33;

float ToDbfs(float peak) {
  if (peak <= 0) return kSilenceDbfs;
  return std::max(kSilenceDbfs, 20.0f * std::log10(peak));
}

// BCD fields as digits; false when a digit is no decimal digit (a frame damaged past its sync word).
bool LabelOfFrame(const LTCFrame& frame, Timecode& label) {
  if (frame.frame_units > 9 || frame.secs_units > 9 || frame.mins_units > 9 || frame.hours_units > 9) return false;
  label.frames = static_cast<int>(frame.frame_tens * 10 + frame.frame_units);
  label.seconds = static_cast<int>(frame.secs_tens * 10 + frame.secs_units);
  label.minutes = static_cast<int>(frame.mins_tens * 10 + frame.mins_units);
  label.hours = static_cast<int>(frame.hours_tens * 10 + frame.hours_units);
  return true;
}

}  // namespace

LtcDecoder::LtcDecoder(uint32_t sampleRate) : sampleRate_(sampleRate == 0 ? 48000 : sampleRate) {
  // The library follows the speed by itself; the start value only has to be near enough for the
  // first frame, and 25 lies between the rates.
  decoder_ = ltc_decoder_create(static_cast<int>(sampleRate_ / 25), kLibraryQueueFrames);
  // A quarter of a second holds the longest frame (1/24 s, slowed) with room to spare.
  recent_.assign(sampleRate_ / 4 + 1, 0.0f);
}

LtcDecoder::~LtcDecoder() {
  if (decoder_ != nullptr) ltc_decoder_free(decoder_);
}

double LtcDecoder::MsOfPosition(double position) const {
  return anchor_.ms + (position - static_cast<double>(anchor_.position)) * 1000.0 / sampleRate_;
}

void LtcDecoder::Write(const int16_t* samples, size_t count, int channels, int channel, int64_t position) {
  if (samples == nullptr || channels < 1 || channel >= channels || channel < kMixChannels) return;
  mono_.resize(count);
  for (size_t i = 0; i < count; ++i) {
    const int16_t* frame = samples + i * static_cast<size_t>(channels);
    if (channel == kMixChannels) {
      int32_t sum = 0;
      for (int c = 0; c < channels; ++c) sum += frame[c];
      mono_[i] = static_cast<float>(sum) / (32768.0f * static_cast<float>(channels));
    } else {
      mono_[i] = static_cast<float>(frame[channel]) / 32768.0f;
    }
  }
  Feed(mono_.data(), count, position);
}

void LtcDecoder::Write(const float* samples, size_t count, int channels, int channel, int64_t position) {
  if (samples == nullptr || channels < 1 || channel >= channels || channel < kMixChannels) return;
  mono_.resize(count);
  for (size_t i = 0; i < count; ++i) {
    const float* frame = samples + i * static_cast<size_t>(channels);
    float value = 0;
    if (channel == kMixChannels) {
      for (int c = 0; c < channels; ++c) value += frame[c];
      value /= static_cast<float>(channels);
    } else {
      value = frame[channel];
    }
    // A NaN from a broken driver would poison the level and mean nothing to the decoder.
    mono_[i] = std::isfinite(value) ? std::clamp(value, -1.0f, 1.0f) : 0.0f;
  }
  Feed(mono_.data(), count, position);
}

void LtcDecoder::Feed(const float* mono, size_t count, int64_t position) {
  if (decoder_ == nullptr) return;
  const int64_t capacity = static_cast<int64_t>(recent_.size());
  for (size_t done = 0; done < count;) {
    const size_t slice = std::min(kSliceSamples, count - done);
    const int64_t at = position + static_cast<int64_t>(done);
    for (size_t i = 0; i < slice; ++i) {
      const int64_t slot = ((at + static_cast<int64_t>(i)) % capacity + capacity) % capacity;
      recent_[static_cast<size_t>(slot)] = std::fabs(mono[done + i]);
    }
    written_ = at + static_cast<int64_t>(slice);
    ltc_decoder_write_float(decoder_, const_cast<float*>(mono + done), slice, at);
    Collect();
    done += slice;
  }
}

void LtcDecoder::Collect() {
  LTCFrameExt ext;
  while (ltc_decoder_read(decoder_, &ext) == 1) {
    const double length = static_cast<double>(ext.off_end - ext.off_start + 1);
    if (length <= 0) {
      ++counts_.rejected;
      continue;
    }
    if (!TakeLength(length)) {
      ++counts_.rejected;
      continue;
    }
    Timecode label;
    const bool digits = LabelOfFrame(ext.ltc, label);
    // The frame number only counts towards the rate when it follows the frame before it: one
    // damaged frame must not turn 25 into 30 for good.
    if (digits && havePrevious_ && ext.reverse == 0 && label.hours == previous_.hours &&
        label.minutes == previous_.minutes && label.seconds == previous_.seconds &&
        label.frames == previous_.frames + 1 && ext.off_start <= previousEnd_ + 2)
      maxFrameNumber_ = std::max(maxFrameNumber_, label.frames);
    havePrevious_ = digits && ext.reverse == 0;
    previous_ = label;
    previousEnd_ = ext.off_end;

    rate_ = TellRate(ext.ltc.dfbit != 0);
    // A show never runs backwards: a tape played in reverse is no time to chase.
    if (!digits || ext.reverse != 0 || !IsValidLabel(label, rate_)) {
      ++counts_.rejected;
      continue;
    }
    DecodedFrame frame;
    frame.label = label;
    frame.rate = rate_;
    frame.heardMs = MsOfPosition(static_cast<double>(ext.off_start));
    frame.levelDbfs = PeakDbfs(ext.off_start, ext.off_end);
    ready_.push_back(frame);
    ++counts_.accepted;
  }
}

bool LtcDecoder::TakeLength(double length) {
  const auto near = [](double a, double b) { return std::fabs(a - b) <= b * kRateChangeRatio; };
  if (frameSamples_ > 0 && near(length, frameSamples_)) {
    frameSamples_ += (length - frameSamples_) * 0.2;
    otherLength_ = 0;
    return true;
  }
  // One frame of another length is a frame heard across a dropout or damaged by noise; two in a
  // row that agree are another signal, and the rate is told anew.
  if (frameSamples_ > 0 && !(otherLength_ > 0 && near(length, otherLength_))) {
    otherLength_ = length;
    return false;
  }
  frameSamples_ = length;
  otherLength_ = 0;
  maxFrameNumber_ = -1;
  havePrevious_ = false;
  return true;
}

FrameRate LtcDecoder::TellRate(bool dropFrameBit) const {
  if (frameSamples_ <= 0) return FrameRate::Unknown;
  const double fps = sampleRate_ / frameSamples_;
  if (fps < kMinFps || fps > kMaxFps) return FrameRate::Unknown;
  // Near a rate (no clock is off by two per cent), the length tells 24 from 25 from 30. A tape
  // running off speed lies between them: then the highest frame number it counted to tells. 29.97
  // and 30 differ by a thousandth, which a clock error can hide: the drop-frame bit tells them.
  FrameRate rate;
  if (std::fabs(fps - 24) <= 24 * kNearRateRatio) {
    rate = FrameRate::Fps24;
  } else if (std::fabs(fps - 25) <= 25 * kNearRateRatio) {
    rate = FrameRate::Fps25;
  } else if (std::fabs(fps - 30) <= 30 * kNearRateRatio) {
    rate = FrameRate::Fps30;
  } else {
    rate = maxFrameNumber_ >= 25   ? FrameRate::Fps30
           : maxFrameNumber_ >= 24 ? FrameRate::Fps25
           : fps < 24.5            ? FrameRate::Fps24
           : fps < 27.5            ? FrameRate::Fps25
                                   : FrameRate::Fps30;
  }
  if (rate == FrameRate::Fps30 && dropFrameBit) rate = FrameRate::Fps2997Drop;
  return rate;
}

float LtcDecoder::PeakDbfs(int64_t from, int64_t to) const {
  const int64_t capacity = static_cast<int64_t>(recent_.size());
  from = std::max(from, written_ - capacity);
  to = std::min(to, written_ - 1);
  float peak = 0;
  for (int64_t position = from; position <= to; ++position)
    peak = std::max(peak, recent_[static_cast<size_t>((position % capacity + capacity) % capacity)]);
  return ToDbfs(peak);
}

float LtcDecoder::RecentPeakDbfs() const {
  if (written_ == 0) return kSilenceDbfs;
  return PeakDbfs(written_ - sampleRate_ / 10, written_ - 1);
}

std::vector<DecodedFrame> LtcDecoder::TakeFrames() {
  std::vector<DecodedFrame> taken;
  taken.swap(ready_);
  return taken;
}

}  // namespace fd::timecode
