#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include "audio/audio_device.h"
#include "audio/bass_files.h"
#include "audio/decoded_stream.h"
#include "audio/play_position.h"

namespace fd::audio {

TBassFile::TBassFile() { AcquireDevice(); }

TBassFile::~TBassFile() {
  if (loaded_) TBassFile::Close();
  ReleaseDevice();
}

namespace {

// What the decoding thread hands back. Shared, so that a caller who gave up waiting leaves the
// thread something to write into.
struct Decoding {
  std::mutex mutex;
  bool done = false;
  std::unique_ptr<DecodedStream> stream;
  std::string error;
};

std::unique_ptr<DecodedStream> DecodeWhileWaiting(const std::string& fileName, const std::function<bool()>& wait,
                                                  std::string& error, bool& gaveUp) {
  auto decoding = std::make_shared<Decoding>();
  std::thread([decoding, fileName] {
    std::string message;
    std::unique_ptr<DecodedStream> stream = DecodedStream::Open(fileName, message);
    std::lock_guard lock(decoding->mutex);
    decoding->stream = std::move(stream);
    decoding->error = std::move(message);
    decoding->done = true;
  }).detach();
  for (;;) {
    {
      std::lock_guard lock(decoding->mutex);
      if (decoding->done) {
        error = std::move(decoding->error);
        return std::move(decoding->stream);
      }
    }
    if (!wait()) {
      gaveUp = true;
      return nullptr;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace

void TBassFile::Open() {
  // A second Open on the same object must not leave the first stream's memory behind.
  Close();
  std::string error;
  bool gaveUp = false;
  std::unique_ptr<DecodedStream> stream =
      WhileDecoding ? DecodeWhileWaiting(FileName, WhileDecoding, error, gaveUp) : DecodedStream::Open(FileName, error);
  gaveUp_ = gaveUp;
  if (gaveUp) {
    openError_ = "загрузка прервана";
    return;
  }
  if (!stream) {
    openError_ = error.empty() ? "не удаётся открыть файл" : error;
    return;
  }
  const PcmFormat& f = stream->Format();
  Format.Channels = f.Channels;
  Format.SamplesPerSec = f.SampleRate;
  Format.BitsPerSample = f.BitsPerSample;
  Format.BlockAlign = f.BlockAlign();
  Format.AvgBytesPerSec = f.BytesPerSecond();
  size_ = stream->Size();
  Duration = DurationMs(size_, Format.AvgBytesPerSec);
  stream_ = std::move(stream);
  openError_.clear();
  loaded_ = true;
}

void TBassFile::Close() {
  stream_.reset();
  loaded_ = false;
}

int32_t TBassFile::Position() { return stream_ ? stream_->Position() : -1; }

int TBassFile::Seek(int32_t bytes) {
  if (!stream_ || bytes < 0 || bytes > size_) return -1;
  return stream_->Seek(AlignToFrame(bytes, Format.BlockAlign)) ? 0 : -1;
}

int32_t TBassFile::ReadData(void* buffer, int32_t count) {
  if (!stream_ || buffer == nullptr || count < 0) return -1;
  return stream_->Read(static_cast<uint8_t*>(buffer), count);
}

uint8_t TBassFile::ReadByte() {
  uint8_t byte = 0;
  if (stream_) stream_->Read(&byte, 1);
  return byte;
}

}  // namespace fd::audio
