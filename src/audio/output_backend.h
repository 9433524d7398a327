#pragma once

#include <cstdint>

#include "audio/audio_device.h"

namespace fd::audio {

// What stands behind the output device: SDL's sound output, or a test's own device with a clock of
// its own. Whichever it is takes the mix through MixOutput, one buffer at a time, and says how far
// it has played.
class OutputBackend {
 public:
  virtual ~OutputBackend() = default;

  // Opens the output in the device format (44100 Hz, 16-bit, stereo); false when it cannot play.
  virtual bool Open(DeviceFormat& format) = 0;
  // Once the device is open, before any voice is attached: a device that was already playing has
  // its queue full of silence by the time a soundtrack starts.
  virtual void Opened() {}
  virtual void Close() = 0;
  // Frames the output has played out by now: what it has taken through MixOutput, minus what it
  // still holds queued. Called with the output lock held.
  virtual int64_t FramesPlayed() = 0;
};

// Test seam: the backend the device uses the next time it is opened; nullptr for SDL's. Not owned;
// it must outlive every holder of the device.
void SetOutputBackend(OutputBackend* backend);

// Fills out with the next len bytes of the output: silence with every attached voice mixed in.
// Takes the output lock; for backends only.
void MixOutput(uint8_t* out, int len);

}  // namespace fd::audio
