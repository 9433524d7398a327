#include "audio/audio_device.h"
#include "audio/bass_files.h"
#include "audio/decoded_stream.h"
#include "audio/play_position.h"
#include "audio/voice.h"

namespace fd::audio {

TBassPlayer::TBassPlayer() = default;

TBassPlayer::~TBassPlayer() { TBassPlayer::Close(); }

void TBassPlayer::Open() {
  Close();
  TBassFile::Open();
  if (!loaded_) return;
  auto voice = std::make_unique<Voice>(*stream_);
  if (!voice->Valid()) {
    if (AudioReady()) {
      // The device is there but cannot take this format: better a load error now than a silent show.
      openError_ = "аудиоустройство не воспроизводит этот формат";
      TBassFile::Close();
    }
    return;  // no device at all: the file is loaded and plays nowhere
  }
  voice->SetFollowing(followsShowClock_);
  voice_ = std::move(voice);
  AttachVoice(voice_.get());
}

void TBassPlayer::Close() {
  if (voice_) {
    DetachVoice(voice_.get());
    voice_.reset();
  }
  TBassFile::Close();
}

void TBassPlayer::PlayFrom(int32_t ms) {
  if (!loaded_ || !stream_) return;
  const int64_t byte = ByteForMs(ms, Format.AvgBytesPerSec);
  auto lock = LockOutput();
  if (byte >= 0) {
    // Between two frames (for instance 3 ms of 16-bit stereo at 44.1 kHz, byte 529) playback starts
    // at the frame the byte falls in; a byte on a frame boundary is played exactly.
    const int64_t start = AlignToFrame(byte, Format.BlockAlign);
    if (start >= size_) {
      // Past the end there is nothing to hear; the show runs on without sound.
      stream_->Seek(size_);
      if (voice_) voice_->Stop();
      return;
    }
    stream_->Seek(start);
    if (voice_) voice_->Start(0);
  } else {
    stream_->Seek(0);
    if (voice_) voice_->Start(AlignToFrame(-byte, Format.BlockAlign));
  }
}

void TBassPlayer::Stop() {
  auto lock = LockOutput();
  if (voice_) voice_->Stop();
}

void TBassPlayer::FollowShowClock(int32_t showMs) {
  auto lock = LockOutput();
  if (voice_) voice_->FollowShowClock(showMs, FramesPlayed());
}

void TBassPlayer::SetFollowsShowClock(bool on) {
  auto lock = LockOutput();
  followsShowClock_ = on;
  if (voice_) voice_->SetFollowing(on);
}

double TBassPlayer::ClockDistanceMs() {
  auto lock = LockOutput();
  return voice_ ? voice_->DistanceMs() : 0;
}

double TBassPlayer::SpeedStretch() {
  auto lock = LockOutput();
  return voice_ ? voice_->Stretch() : 0;
}

bool TBassPlayer::IsPlaying() {
  auto lock = LockOutput();
  return voice_ && voice_->Playing();
}

}  // namespace fd::audio
