#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct SwrContext;

namespace fd::audio {

// The last stage of a voice: 16-bit interleaved sound at the file's rate in, at the device's rate
// out, a little faster or slower when a stretch is asked for (libswresample's compensation). Where
// the two rates are the same the stage stands aside and the sound passes untouched, byte for byte,
// until the first stretch; from then on, until the next Reset, all of it goes through.
class ResampleStage {
 public:
  ResampleStage(int inRate, int outRate, int channels);
  ~ResampleStage();
  ResampleStage(const ResampleStage&) = delete;
  ResampleStage& operator=(const ResampleStage&) = delete;

  bool Valid() const { return swr_ != nullptr; }
  // A new start: nothing held, the nominal speed, and standing aside again where it can.
  void Reset();
  // Whether the sound goes through the resampler (else the caller passes it on itself).
  bool Active() const { return active_; }

  // Out frames for every in frame become (1 + stretch) x outRate / inRate for the next ten seconds
  // of sound, then the nominal speed again unless it is set anew. Takes the sound through the
  // resampler from now on when the stretch is not 0.
  void SetStretch(double stretch);
  double Stretch() const { return stretch_; }

  // Active only. Put takes whole frames; Finish says the input has ended and lets the last frames
  // out of the resampler.
  void Put(const uint8_t* data, int32_t bytes);
  void Finish();
  int32_t ReadyBytes() const { return static_cast<int32_t>(ready_.size() - readyStart_); }
  int32_t Take(uint8_t* out, int32_t bytes);
  bool Finished() const { return finished_ && ReadyBytes() == 0; }

  // The frames put in whose sound has not come out of Take yet, counted in input frames.
  double HeldInputFrames() const;

 private:
  void Convert(const uint8_t* data, int32_t frames);

  int inRate_;
  int outRate_;
  int channels_;
  int frameBytes_;
  SwrContext* swr_ = nullptr;
  bool active_ = false;
  bool finished_ = false;
  double stretch_ = 0;
  std::vector<uint8_t> ready_;
  size_t readyStart_ = 0;
};

}  // namespace fd::audio
