#include "timecode/ltc_capture_source.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/clock.h"

namespace fd::timecode {

namespace {

constexpr int kWantedRate = 48000;
// 512 frames at 48 kHz: a buffer every 10.7 ms.
constexpr Uint16 kBufferFrames = 512;
// Each second the anchor moves by the earliest the buffers arrived against it, once that is
// further off than this: the card's clock and the computer's drift apart by some milliseconds a
// minute, and a buffer handed over late by the scheduler must not move it.
constexpr double kAnchorWindowMs = 1000;
constexpr double kAnchorToleranceMs = 1.0;

bool StartAudio(std::string& error) {
  // SDL would otherwise take SIGINT and SIGTERM for itself.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "firnadesk");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    error = std::string("the sound system does not start: ") + SDL_GetError();
    return false;
  }
  return true;
}

std::vector<std::string> ListCaptureDevices() {
  std::vector<std::string> names;
  const int count = SDL_GetNumAudioDevices(1);
  for (int i = 0; i < count; ++i)
    if (const char* name = SDL_GetAudioDeviceName(i, 1)) names.emplace_back(name);
  return names;
}

}  // namespace

struct LtcCaptureSource::Listening {
  SDL_AudioDeviceID device = 0;
  int channels = 1;
  std::unique_ptr<LtcDecoder> decoder;
  int64_t position = 0;
  bool anchored = false;
  // The clock's ticks without their wrap, for the anchor.
  uint32_t lastTick = 0;
  double tickMs = 0;
  double windowStartMs = 0;
  double earliestMs = std::numeric_limits<double>::infinity();
};

std::vector<std::string> CaptureDeviceNames() {
  std::string error;
  if (!StartAudio(error)) return {};
  std::vector<std::string> names = ListCaptureDevices();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  return names;
}

std::string NoCaptureDeviceText(const std::string& name, const std::vector<std::string>& present) {
  std::string text = "no capture device \"" + name + "\"";
  if (present.empty()) return text + " (there are no capture devices)";
  text += " (capture devices: ";
  for (size_t i = 0; i < present.size(); ++i) text += (i == 0 ? "\"" : ", \"") + present[i] + "\"";
  return text + ")";
}

std::unique_ptr<LtcCaptureSource> LtcCaptureSource::Open(const std::string& deviceName, const SourceOptions& options,
                                                         std::string& error) {
  if (options.clock == nullptr) {
    error = "a capture device needs the show's clock";
    return nullptr;
  }
  if (!StartAudio(error)) return nullptr;
  const std::vector<std::string> present = ListCaptureDevices();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  if (!deviceName.empty() && std::find(present.begin(), present.end(), deviceName) == present.end()) {
    error = NoCaptureDeviceText(deviceName, present);
    return nullptr;
  }
  return std::make_unique<LtcCaptureSource>(deviceName, options);
}

LtcCaptureSource::LtcCaptureSource(std::string deviceName, const SourceOptions& options)
    : TimecodeSource(options.queueFrames, false), deviceName_(std::move(deviceName)), options_(options) {}

LtcCaptureSource::~LtcCaptureSource() { Stop(); }

bool LtcCaptureSource::Start() {
  Stop();
  ResetState();
  std::string error;
  if (!StartAudio(error)) {
    Fail(error);
    return false;
  }
  auto listening = std::make_unique<Listening>();
  SDL_AudioSpec want{};
  want.freq = kWantedRate;
  want.format = AUDIO_F32SYS;
  want.channels = 0;  // as many as the device has: the timecode may be on any of them
  want.samples = kBufferFrames;
  want.callback = &LtcCaptureSource::Callback;
  want.userdata = this;
  SDL_AudioSpec have{};
  const SDL_AudioDeviceID device =
      SDL_OpenAudioDevice(deviceName_.empty() ? nullptr : deviceName_.c_str(), 1, &want, &have,
                          SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
  if (device == 0) {
    const std::string reason = SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    Fail(deviceName_.empty() ? "no capture device (" + reason + ")"
                             : "capture device \"" + deviceName_ + "\" does not open (" + reason + ")");
    return false;
  }
  if (options_.channel != kMixChannels && options_.channel >= have.channels) {
    SDL_CloseAudioDevice(device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    Fail("no channel " + std::to_string(options_.channel + 1) + " on the capture device (it has " +
         std::to_string(have.channels) + ")");
    return false;
  }
  listening->device = device;
  listening->channels = std::max<int>(1, have.channels);
  listening->decoder = std::make_unique<LtcDecoder>(static_cast<uint32_t>(have.freq));
  listening->lastTick = options_.clock->TickCount();
  listening->tickMs = listening->lastTick;
  listening_ = std::move(listening);
  SDL_PauseAudioDevice(device, 0);
  return true;
}

void LtcCaptureSource::Stop() {
  if (!listening_) return;
  // Closing waits for a callback under way, so the decoder is no longer in use afterwards.
  SDL_CloseAudioDevice(listening_->device);
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  listening_.reset();
  Finish();
}

void LtcCaptureSource::Callback(void* user, uint8_t* stream, int length) {
  auto* self = static_cast<LtcCaptureSource*>(user);
  const size_t frames = static_cast<size_t>(length) / (sizeof(float) * self->listening_->channels);
  self->OnSamples(reinterpret_cast<const float*>(stream), frames);
}

void LtcCaptureSource::OnSamples(const float* samples, size_t frames) {
  Listening& l = *listening_;
  const uint32_t tick = options_.clock->TickCount();
  l.tickMs += platform::TicksSince(l.lastTick, tick);
  l.lastTick = tick;
  const int64_t end = l.position + static_cast<int64_t>(frames);
  // The last sample of a buffer was heard about when the buffer arrives.
  if (!l.anchored) {
    l.decoder->SetAnchor({end, l.tickMs});
    l.anchored = true;
    l.windowStartMs = l.tickMs;
  } else {
    l.earliestMs = std::min(l.earliestMs, l.tickMs - l.decoder->MsOfPosition(static_cast<double>(end)));
    if (l.tickMs - l.windowStartMs >= kAnchorWindowMs) {
      if (std::fabs(l.earliestMs) > kAnchorToleranceMs) {
        SampleAnchor anchor = l.decoder->Anchor();
        anchor.ms += l.earliestMs;
        l.decoder->SetAnchor(anchor);
      }
      l.earliestMs = std::numeric_limits<double>::infinity();
      l.windowStartMs = l.tickMs;
    }
  }
  l.decoder->Write(samples, frames, l.channels, options_.channel, l.position);
  l.position = end;
  SetLevel(l.decoder->RecentPeakDbfs(), l.decoder->Counts().rejected);
  Deliver(l.decoder->TakeFrames());
}

}  // namespace fd::timecode
