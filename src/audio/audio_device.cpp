#include "audio/audio_device.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "audio/bass_files.h"
#include "audio/voice.h"

namespace fd::audio {

namespace {

constexpr int kOutputRate = 44100;
// 1024 frames at 44.1 kHz are 23 ms: the sound follows PlayFrom and Stop well within 50 ms.
constexpr Uint16 kOutputFrames = 1024;

std::mutex g_deviceMutex;  // instance count, opening and closing
int g_instances = 0;
bool g_subsystemUp = false;
SDL_AudioDeviceID g_device = 0;
SDL_AudioSpec g_spec{};
std::atomic<bool> g_ready{false};
std::atomic<int> g_instanceCount{0};

std::mutex g_outputMutex;  // voices and the hook, against the output thread
std::vector<Voice*> g_voices;
DeliveryHook g_hook;

void OutputCallback(void*, Uint8* out, int len) {
  std::lock_guard lock(g_outputMutex);
  std::memset(out, g_spec.silence, static_cast<size_t>(len));
  for (Voice* voice : g_voices) voice->MixInto(out, len);
}

void OpenDevice() {
  // The name the sound server shows in its mixer for this program's stream.
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "firnadesk");
  // SDL would otherwise take SIGINT and SIGTERM for itself, and Ctrl+C or a plain kill would no
  // longer end the window or a command-line show.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
  g_subsystemUp = true;
  SDL_AudioSpec want{};
  want.freq = kOutputRate;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = kOutputFrames;
  want.callback = OutputCallback;
  // No changes allowed: SDL converts for the hardware itself, so the voices always see this format.
  g_device = SDL_OpenAudioDevice(nullptr, 0, &want, &g_spec, 0);
  if (g_device == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    g_subsystemUp = false;
    return;
  }
  SDL_PauseAudioDevice(g_device, 0);
  g_ready = true;
}

void CloseDevice() {
  if (g_device != 0) SDL_CloseAudioDevice(g_device);  // waits for the output thread to end
  g_device = 0;
  if (g_subsystemUp) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  g_subsystemUp = false;
  g_ready = false;
}

}  // namespace

bool AudioReady() { return g_ready; }
int InstanceCount() { return g_instanceCount; }

void AcquireDevice() {
  std::lock_guard lock(g_deviceMutex);
  // A device that failed to open is not tried again until every holder is gone.
  if (g_instances == 0) OpenDevice();
  g_instanceCount = ++g_instances;
}

void ReleaseDevice() {
  std::lock_guard lock(g_deviceMutex);
  if (g_instances == 0) return;
  g_instanceCount = --g_instances;
  if (g_instances == 0) CloseDevice();
}

bool OpenDeviceFormat(DeviceFormat& format) {
  std::lock_guard lock(g_deviceMutex);
  if (!g_ready) return false;
  format.SampleRate = g_spec.freq;
  format.SdlFormat = g_spec.format;
  format.Channels = g_spec.channels;
  return true;
}

std::unique_lock<std::mutex> LockOutput() { return std::unique_lock(g_outputMutex); }

void AttachVoice(Voice* voice) {
  std::lock_guard lock(g_outputMutex);
  if (std::find(g_voices.begin(), g_voices.end(), voice) == g_voices.end()) g_voices.push_back(voice);
}

void DetachVoice(Voice* voice) {
  std::lock_guard lock(g_outputMutex);
  g_voices.erase(std::remove(g_voices.begin(), g_voices.end(), voice), g_voices.end());
}

void SetDeliveryHook(DeliveryHook hook) {
  std::lock_guard lock(g_outputMutex);
  g_hook = std::move(hook);
}

void ReportDelivery(Tap tap, const uint8_t* data, int32_t count) {
  if (g_hook) g_hook(tap, data, count);
}

}  // namespace fd::audio
