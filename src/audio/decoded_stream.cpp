#include "audio/decoded_stream.h"

#include "audio/stream_opener.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace fd::audio {

std::unique_ptr<DecodedStream> DecodedStream::Open(const std::string& fileName, std::string& error) {
  // The decoders' notes on ordinary files (padding, timestamps) are no news for the operator's
  // terminal; errors still show.
  static std::once_flag quietDecoders;
  std::call_once(quietDecoders, [] { av_log_set_level(AV_LOG_ERROR); });
  AVFormatContext* container = KindForFileName(fileName) == StreamKind::Wma ? OpenWmaStream(fileName, error)
                                                                            : OpenGeneralStream(fileName, error);
  if (container == nullptr) return nullptr;
  auto stream = std::make_unique<DecodedStream>();
  const bool decoded = DecodeToPcm(container, stream->format_, stream->pcm_, error);
  avformat_close_input(&container);
  if (!decoded) return nullptr;
  return stream;
}

int32_t DecodedStream::Position() const {
  std::lock_guard lock(mutex_);
  return static_cast<int32_t>(position_);
}

bool DecodedStream::Seek(int64_t byte) {
  const uint16_t frame = format_.BlockAlign();
  if (byte < 0 || byte > pcm_.Size() || (frame != 0 && byte % frame != 0)) return false;
  std::lock_guard lock(mutex_);
  position_ = byte;
  return true;
}

int32_t DecodedStream::Read(uint8_t* out, int32_t count) {
  std::lock_guard lock(mutex_);
  const int64_t copied = pcm_.CopyOut(position_, out, count);
  position_ += copied;
  return static_cast<int32_t>(copied);
}

}  // namespace fd::audio
