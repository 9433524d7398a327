#include "audio/voice.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "audio/decoded_stream.h"
#include "audio/resample_stage.h"

namespace fd::audio {

namespace {
constexpr int32_t kChunkBytes = 4096;
}

Voice::Voice(DecodedStream& stream) : stream_(stream) {
  if (!OpenDeviceFormat(device_)) return;
  const PcmFormat& f = stream.Format();
  sourceRate_ = static_cast<int>(f.SampleRate);
  sourceFrame_ = std::max<uint16_t>(f.BlockAlign(), 1);
  deviceFrameBytes_ = std::max(device_.Channels * static_cast<int>(SDL_AUDIO_BITSIZE(device_.SdlFormat)) / 8, 1);
  // The resample stage works on 16-bit sound; SDL opens the device in nothing else.
  if (device_.SdlFormat != AUDIO_S16SYS) return;
  resample_ = std::make_unique<ResampleStage>(sourceRate_, device_.SampleRate, device_.Channels);
  if (!resample_->Valid()) return;
  // SDL's converter keeps the file's rate: its own resampler runs a soundtrack at 48 kHz fast by
  // about a thousandth, and one at 8 kHz loses sound at every piece. The rate is the resample
  // stage's, so a 22 kHz or 48 kHz soundtrack keeps its true speed and byte positions keep
  // meaning the file's own time.
  converter_ = SDL_NewAudioStream(f.BitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16SYS, static_cast<Uint8>(f.Channels),
                                  sourceRate_, device_.SdlFormat, static_cast<Uint8>(device_.Channels), sourceRate_);
}

Voice::~Voice() {
  if (converter_ != nullptr) SDL_FreeAudioStream(converter_);
}

bool Voice::Valid() const { return converter_ != nullptr; }

double Voice::Stretch() const { return resample_ ? resample_->Stretch() : 0; }

void Voice::Start(int64_t leadInBytes) {
  if (converter_ == nullptr) return;  // no device: nothing can play, and nothing claims to
  // Sound left in either stage belongs to the old position; it must not be heard first.
  SDL_AudioStreamClear(converter_);
  resample_->Reset();
  leadIn_ = std::max<int64_t>(leadInBytes, 0);
  startFrame_ = stream_.Position() / sourceFrame_ - leadIn_ / sourceFrame_;
  framesIn_ = 0;
  heard_.Clear();
  speed_.Reset();
  distanceMs_ = 0;
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

void Voice::FillConverter(int wanted) {
  uint8_t chunk[kChunkBytes];
  // Whole frames only, so a piece never ends inside a sample frame.
  const int32_t sourceCapacity = kChunkBytes / sourceFrame_ * sourceFrame_;
  while (!sourceDone_ && SDL_AudioStreamAvailable(converter_) < wanted) {
    const int32_t n = NextSourceChunk(chunk, sourceCapacity);
    if (n <= 0 || SDL_AudioStreamPut(converter_, chunk, n) != 0) {
      sourceDone_ = true;
      SDL_AudioStreamFlush(converter_);
      break;
    }
    framesIn_ += n / sourceFrame_;
    ReportDelivery(Tap::FilePcm, chunk, n);
  }
}

int Voice::MixDirect(uint8_t* out, int len) {
  FillConverter(len);
  uint8_t chunk[kChunkBytes];
  int offset = 0;
  while (offset < len) {
    const int got = SDL_AudioStreamGet(converter_, chunk, std::min(kChunkBytes, len - offset));
    if (got <= 0) break;
    ReportDelivery(Tap::DeviceOutput, chunk, got);
    SDL_MixAudioFormat(out + offset, chunk, device_.SdlFormat, static_cast<Uint32>(got), SDL_MIX_MAXVOLUME);
    offset += got;
  }
  if (sourceDone_ && SDL_AudioStreamAvailable(converter_) == 0) playing_ = false;
  return offset;
}

int Voice::MixResampled(uint8_t* out, int len) {
  uint8_t chunk[kChunkBytes];
  while (resample_->ReadyBytes() < len && !resample_->Finished()) {
    FillConverter(kChunkBytes);
    const int got = SDL_AudioStreamGet(converter_, chunk, kChunkBytes);
    if (got > 0) {
      resample_->Put(chunk, got);
    } else if (sourceDone_) {
      resample_->Finish();  // lets the last samples out of the resampler
      break;
    } else {
      break;
    }
  }
  int offset = 0;
  while (offset < len) {
    const int got = resample_->Take(chunk, std::min(kChunkBytes, len - offset));
    if (got <= 0) break;
    ReportDelivery(Tap::DeviceOutput, chunk, got);
    SDL_MixAudioFormat(out + offset, chunk, device_.SdlFormat, static_cast<Uint32>(got), SDL_MIX_MAXVOLUME);
    offset += got;
  }
  if (resample_->Finished()) playing_ = false;
  return offset;
}

void Voice::MixInto(uint8_t* out, int len, int64_t deviceFrame) {
  if (!playing_ || converter_ == nullptr) return;
  const double first = NextMixedSeconds();
  const int mixed = resample_->Active() ? MixResampled(out, len) : MixDirect(out, len);
  heard_.Note(deviceFrame, first, deviceFrame + mixed / deviceFrameBytes_, NextMixedSeconds());
}

double Voice::NextMixedSeconds() const {
  // Everything is counted at the file's rate: what went into the converter, less what waits in it,
  // less what the resample stage holds.
  const double inConverter = static_cast<double>(SDL_AudioStreamAvailable(converter_)) / deviceFrameBytes_;
  const double frame = static_cast<double>(startFrame_ + framesIn_) - inConverter - resample_->HeldInputFrames();
  return frame / sourceRate_;
}

void Voice::FollowShowClock(int32_t showMs, int64_t playedFrame) {
  if (!playing_ || converter_ == nullptr) return;
  const std::optional<double> heard = heard_.SecondsAt(playedFrame);
  if (!heard) return;
  // Measured either way: how far a sound left to its own speed has gone is worth knowing too.
  distanceMs_ = *heard * 1000.0 - showMs;
  if (following_) resample_->SetStretch(speed_.Update(distanceMs_, showMs));
}

void Voice::SetFollowing(bool on) {
  following_ = on;
  if (on || converter_ == nullptr) return;
  speed_.Reset();
  resample_->SetStretch(0);
}

}  // namespace fd::audio
