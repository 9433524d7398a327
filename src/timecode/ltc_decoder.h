#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "timecode/timecode_frame.h"

struct LTCDecoder;

namespace fd::timecode {

// Ties the sample count of a signal to the show's millisecond scale: the sample at `position` was
// heard at `ms`. Every other sample is placed from there at the nominal sample rate.
struct SampleAnchor {
  int64_t position = 0;
  double ms = 0;
};

// Which channel of interleaved PCM carries the timecode.
inline constexpr int kMixChannels = -1;

// Frames decoded, and those thrown away, since the decoder was made.
struct LtcDecoderCounts {
  int64_t accepted = 0;
  int64_t rejected = 0;  // a label that cannot exist at the rate told, or a frame played backwards
};

// Linear timecode out of PCM, through libltc. The caller feeds the samples in order with their
// position in the stream; every complete frame comes out as a DecodedFrame with the rate told from
// the signal itself and the time its first edge was heard, through the anchor.
//
// Not thread-safe: one thread feeds it and takes its frames.
class LtcDecoder {
 public:
  explicit LtcDecoder(uint32_t sampleRate);
  ~LtcDecoder();
  LtcDecoder(const LtcDecoder&) = delete;
  LtcDecoder& operator=(const LtcDecoder&) = delete;

  uint32_t SampleRate() const { return sampleRate_; }
  void SetAnchor(const SampleAnchor& anchor) { anchor_ = anchor; }
  const SampleAnchor& Anchor() const { return anchor_; }
  // The heard time of a sample position through the anchor.
  double MsOfPosition(double position) const;

  // Interleaved samples (`count` sample frames of `channels` each) whose first is at `position`;
  // `channel` picks one (0-based) or kMixChannels averages them all.
  void Write(const int16_t* samples, size_t count, int channels, int channel, int64_t position);
  void Write(const float* samples, size_t count, int channels, int channel, int64_t position);

  // The frames completed by the samples written so far, oldest first; the decoder forgets them.
  std::vector<DecodedFrame> TakeFrames();

  // Peak of the last tenth of a second written, in dBFS (-120 for silence).
  float RecentPeakDbfs() const;
  // The rate the signal has shown so far (Unknown before the first frame).
  FrameRate Rate() const { return rate_; }
  const LtcDecoderCounts& Counts() const { return counts_; }

 private:
  void Feed(const float* mono, size_t count, int64_t position);
  void Collect();
  // Follows the frame's length; false for a frame whose length is no frame of the signal.
  bool TakeLength(double length);
  FrameRate TellRate(bool dropFrameBit) const;
  float PeakDbfs(int64_t from, int64_t to) const;

  uint32_t sampleRate_;
  LTCDecoder* decoder_ = nullptr;
  SampleAnchor anchor_;
  std::vector<float> mono_;
  // The magnitudes of the latest samples, for each frame's peak level.
  std::vector<float> recent_;
  int64_t written_ = 0;  // the position after the last sample written
  std::vector<DecodedFrame> ready_;

  FrameRate rate_ = FrameRate::Unknown;
  double frameSamples_ = 0;  // the frame's length in samples, smoothed
  double otherLength_ = 0;   // the length of the last frame that did not fit it
  int maxFrameNumber_ = -1;  // the highest frame number seen counted up to from the frame before it
  bool havePrevious_ = false;
  Timecode previous_;
  int64_t previousEnd_ = 0;
  LtcDecoderCounts counts_;
};

}  // namespace fd::timecode
