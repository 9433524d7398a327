#pragma once

#include <cstdint>

#include "audio/audio_device.h"

struct _SDL_AudioStream;

namespace fd::audio {

class DecodedStream;

// One soundtrack on the output device: it takes the stream's PCM from its position, converts it to
// the device format and mixes it in. Everything but construction and destruction runs with the
// output lock held (LockOutput), on the caller's thread or the output thread.
class Voice {
 public:
  // Valid() is false when the device is closed or cannot take this PCM format.
  explicit Voice(DecodedStream& stream);
  ~Voice();
  Voice(const Voice&) = delete;
  Voice& operator=(const Voice&) = delete;

  bool Valid() const { return converter_ != nullptr; }

  // Plays from the stream's position, after leadInBytes of silence (a start before the soundtrack).
  void Start(int64_t leadInBytes);
  void Stop();
  bool Playing() const { return playing_; }

  // Output thread: adds this voice's next len bytes of device-format sound to out.
  void MixInto(uint8_t* out, int len);

 private:
  int32_t NextSourceChunk(uint8_t* chunk, int32_t capacity);

  DecodedStream& stream_;
  DeviceFormat device_;
  _SDL_AudioStream* converter_ = nullptr;
  bool playing_ = false;
  bool sourceDone_ = false;
  int64_t leadIn_ = 0;
};

}  // namespace fd::audio
