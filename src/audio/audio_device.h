#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

namespace fd::audio {

class Voice;

// The process-wide output device. Every TBassFile holds it from construction to destruction: the
// first holder opens it, the last one closes it again (AudioReady and InstanceCount report it).
void AcquireDevice();
void ReleaseDevice();

// The device's sample format, fixed for as long as it is open: 44100 Hz, 16-bit, stereo. Each voice
// converts its file to it, so files of any format play on one device that is opened only once.
struct DeviceFormat {
  int SampleRate = 0;
  uint16_t SdlFormat = 0;
  int Channels = 0;
};
// false while no device is open.
bool OpenDeviceFormat(DeviceFormat& format);

// Voices mixed into the output. The output lock is held by the output thread while it mixes, so a
// voice changed or detached under it is never seen half-way.
std::unique_lock<std::mutex> LockOutput();
void AttachVoice(Voice* voice);  // output lock must not be held
void DetachVoice(Voice* voice);  // output lock must not be held; after return the voice is unused

// Output lock held: the frames handed to the output so far, and the frames it has played out by now
// (taken minus what is still queued in its buffer); both count from the opening of the device.
int64_t FramesMixed();
int64_t FramesPlayed();

// Test seam: the hook sees, on the output thread and in order, every piece of sound a voice hands
// to the output, at one of two taps: the file's own PCM as it goes into the conversion (silence
// before the start of the soundtrack included), or the same sound converted to the device format
// as it is mixed into the device's buffer. It is how tests know the first sample heard after
// PlayFrom without listening. Empty to turn it off.
enum class Tap { FilePcm, DeviceOutput };
using DeliveryHook = std::function<void(Tap tap, const uint8_t* data, int32_t count)>;
void SetDeliveryHook(DeliveryHook hook);
// Called by voices with the output lock held.
void ReportDelivery(Tap tap, const uint8_t* data, int32_t count);

}  // namespace fd::audio
