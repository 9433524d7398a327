#pragma once

#include <cstdint>
#include <memory>

#include "audio/audio_device.h"
#include "audio/heard_position.h"
#include "audio/speed_control.h"

struct _SDL_AudioStream;

namespace fd::audio {

class DecodedStream;
class ResampleStage;

// One soundtrack on the output device: it takes the stream's PCM from its position, converts it to
// the device format and mixes it in. Everything but construction and destruction runs with the
// output lock held (LockOutput), on the caller's thread or the output thread.
//
// Two stages: SDL's converter takes the file's sample format and channels to the device's, at the
// file's own rate; the resample stage takes that to the device's rate. A file at the device's rate
// passes the second stage untouched until its speed has to follow the show clock.
class Voice {
 public:
  // Valid() is false when the device is closed or cannot take this PCM format.
  explicit Voice(DecodedStream& stream);
  ~Voice();
  Voice(const Voice&) = delete;
  Voice& operator=(const Voice&) = delete;

  bool Valid() const;

  // Plays from the stream's position, after leadInBytes of silence (a start before the soundtrack).
  void Start(int64_t leadInBytes);
  void Stop();
  bool Playing() const { return playing_; }

  // Output thread: adds this voice's next len bytes of device-format sound to out, whose first frame
  // is the device's frame number deviceFrame.
  void MixInto(uint8_t* out, int len, int64_t deviceFrame);

  // The show clock stands at showMs now, and the device has played out to playedFrame: the sound
  // there is measured against the clock and, while following, the speed set to close the distance.
  // Nothing happens while the sound there is not known (not yet reached, or already gone).
  void FollowShowClock(int32_t showMs, int64_t playedFrame);
  // Turns the following off (the speed goes back to the file's own at once) or on again.
  void SetFollowing(bool on);
  // The soundtrack's distance from the show clock at the last measurement, ms (ahead above zero).
  double DistanceMs() const { return distanceMs_; }
  double Stretch() const;

 private:
  int32_t NextSourceChunk(uint8_t* chunk, int32_t capacity);
  void FillConverter(int wanted);
  int MixDirect(uint8_t* out, int len);
  int MixResampled(uint8_t* out, int len);
  // The soundtrack time, in seconds, of the next frame this voice will mix.
  double NextMixedSeconds() const;

  DecodedStream& stream_;
  DeviceFormat device_;
  _SDL_AudioStream* converter_ = nullptr;
  std::unique_ptr<ResampleStage> resample_;
  int sourceRate_ = 0;
  uint16_t sourceFrame_ = 1;
  int deviceFrameBytes_ = 4;
  bool playing_ = false;
  bool sourceDone_ = false;
  int64_t leadIn_ = 0;
  // Where the sound put into the converter began (a frame of the file, below zero in a lead-in),
  // and how many frames have gone in since.
  int64_t startFrame_ = 0;
  int64_t framesIn_ = 0;
  HeardPosition heard_;
  SpeedControl speed_;
  bool following_ = true;
  double distanceMs_ = 0;
};

}  // namespace fd::audio
