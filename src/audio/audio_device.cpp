#include "audio/audio_device.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <vector>

#include "audio/bass_files.h"
#include "audio/output_backend.h"
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

std::mutex g_outputMutex;  // voices, the hook and the frame counts, against the output thread
std::vector<Voice*> g_voices;
DeliveryHook g_hook;
int64_t g_framesMixed = 0;
OutputBackend* g_testBackend = nullptr;  // set: the device is this instead of SDL's
OutputBackend* g_openBackend = nullptr;  // the test backend the open device is
// When SDL last asked for a buffer, and what it had taken before it.
std::chrono::steady_clock::time_point g_lastCallback;
int64_t g_framesBeforeCallback = 0;
bool g_calledBack = false;

// Output lock held.
void MixLocked(uint8_t* out, int len) {
  std::memset(out, g_spec.silence, static_cast<size_t>(len));
  for (Voice* voice : g_voices) voice->MixInto(out, len, g_framesMixed);
  const int frameBytes = g_spec.channels * static_cast<int>(SDL_AUDIO_BITSIZE(g_spec.format)) / 8;
  if (frameBytes > 0) g_framesMixed += len / frameBytes;
}

void OutputCallback(void*, Uint8* out, int len) {
  std::lock_guard lock(g_outputMutex);
  g_lastCallback = std::chrono::steady_clock::now();
  g_framesBeforeCallback = g_framesMixed;
  g_calledBack = true;
  MixLocked(out, len);
}

// SDL asks for a buffer when the one before it starts to play: until the next call the device plays
// that one out at its nominal rate, and never past it.
int64_t SdlFramesPlayed() {
  if (!g_calledBack) return 0;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - g_lastCallback).count();
  const int64_t buffer = g_spec.samples;
  const int64_t since = std::min<int64_t>(static_cast<int64_t>(seconds * g_spec.freq), buffer);
  return std::max<int64_t>(g_framesBeforeCallback - buffer + since, 0);
}

bool OpenTestBackend() {
  DeviceFormat format;
  if (!g_testBackend->Open(format)) return false;
  g_spec = SDL_AudioSpec{};
  g_spec.freq = format.SampleRate;
  g_spec.format = format.SdlFormat;
  g_spec.channels = static_cast<Uint8>(format.Channels);
  g_spec.silence = 0;
  g_openBackend = g_testBackend;
  g_openBackend->Opened();
  return true;
}

void OpenDevice() {
  {
    std::lock_guard lock(g_outputMutex);
    g_framesMixed = 0;
    g_calledBack = false;
  }
  if (g_testBackend != nullptr) {
    g_ready = OpenTestBackend();
    return;
  }
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
  if (g_openBackend != nullptr) g_openBackend->Close();
  g_openBackend = nullptr;
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

int64_t FramesMixed() { return g_framesMixed; }

int64_t FramesPlayed() { return g_openBackend != nullptr ? g_openBackend->FramesPlayed() : SdlFramesPlayed(); }

void SetOutputBackend(OutputBackend* backend) {
  std::lock_guard lock(g_deviceMutex);
  g_testBackend = backend;
}

void MixOutput(uint8_t* out, int len) {
  std::lock_guard lock(g_outputMutex);
  MixLocked(out, len);
}

void SetDeliveryHook(DeliveryHook hook) {
  std::lock_guard lock(g_outputMutex);
  g_hook = std::move(hook);
}

void ReportDelivery(Tap tap, const uint8_t* data, int32_t count) {
  if (g_hook) g_hook(tap, data, count);
}

}  // namespace fd::audio
