#include "audio/voice.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "audio/decoded_stream.h"

namespace fd::audio {

namespace {
constexpr int32_t kChunkBytes = 4096;
}

Voice::Voice(DecodedStream& stream) : stream_(stream) {
  if (!OpenDeviceFormat(device_)) return;
  const PcmFormat& f = stream.Format();
  // The converter also resamples when the file's rate is not the device's, so a 22 kHz or 48 kHz
  // soundtrack keeps its true speed and byte positions keep meaning the file's own time.
  converter_ = SDL_NewAudioStream(f.BitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16SYS, static_cast<Uint8>(f.Channels),
                                  static_cast<int>(f.SampleRate), device_.SdlFormat,
                                  static_cast<Uint8>(device_.Channels), device_.SampleRate);
}

Voice::~Voice() {
  if (converter_ != nullptr) SDL_FreeAudioStream(converter_);
}

void Voice::Start(int64_t leadInBytes) {
  if (converter_ == nullptr) return;  // no device: nothing can play, and nothing claims to
  // Sound left in the converter belongs to the old position; it must not be heard first.
  SDL_AudioStreamClear(converter_);
  leadIn_ = std::max<int64_t>(leadInBytes, 0);
  sourceDone_ = false;
  playing_ = true;
}

void Voice::Stop() { playing_ = false; }

int32_t Voice::NextSourceChunk(uint8_t* chunk, int32_t capacity) {
  if (leadIn_ > 0) {
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(leadIn_, capacity));
    std::memset(chunk, stream_.SilenceByte(), static_cast<size_t>(n));
    leadIn_ -= n;
    return n;
  }
  return stream_.Read(chunk, capacity);
}

void Voice::MixInto(uint8_t* out, int len) {
  if (!playing_ || converter_ == nullptr) return;
  uint8_t chunk[kChunkBytes];
  // Whole frames only, so a piece never ends inside a sample frame.
  const uint16_t frame = std::max<uint16_t>(stream_.Format().BlockAlign(), 1);
  const int32_t sourceCapacity = kChunkBytes / frame * frame;
  while (!sourceDone_ && SDL_AudioStreamAvailable(converter_) < len) {
    const int32_t n = NextSourceChunk(chunk, sourceCapacity);
    if (n <= 0 || SDL_AudioStreamPut(converter_, chunk, n) != 0) {
      sourceDone_ = true;
      SDL_AudioStreamFlush(converter_);  // lets the last samples out of the resampler
      break;
    }
    ReportDelivery(Tap::FilePcm, chunk, n);
  }
  int offset = 0;
  while (offset < len) {
    const int got = SDL_AudioStreamGet(converter_, chunk, std::min(kChunkBytes, len - offset));
    if (got <= 0) break;
    ReportDelivery(Tap::DeviceOutput, chunk, got);
    SDL_MixAudioFormat(out + offset, chunk, device_.SdlFormat, static_cast<Uint32>(got), SDL_MIX_MAXVOLUME);
    offset += got;
  }
  if (sourceDone_ && SDL_AudioStreamAvailable(converter_) == 0) playing_ = false;
}

}  // namespace fd::audio
