#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "audio/pcm_buffer.h"
#include "audio/pcm_decoder.h"

namespace fd::audio {

// A soundtrack decoded whole at opening, with one read position. The whole decode makes the length
// exact to the byte and every position sample-exact (compressed formats cannot be sought that
// precisely), at the price of holding the PCM in memory: ten minutes of CD sound is about 100 MB,
// and the longest accepted is what a signed 32-bit byte length holds.
//
// The position is shared with the output thread, which reads through it while the soundtrack plays;
// every access takes the stream's lock.
class DecodedStream {
 public:
  // The file is chosen by name: ".WMA" files go to the Windows Media demuxer, the rest are
  // recognised from their content. nullptr with a reason when it cannot be decoded.
  static std::unique_ptr<DecodedStream> Open(const std::string& fileName, std::string& error);

  const PcmFormat& Format() const { return format_; }
  int32_t Size() const { return static_cast<int32_t>(pcm_.Size()); }
  uint8_t SilenceByte() const { return format_.BitsPerSample == 8 ? 0x80 : 0x00; }

  int32_t Position() const;
  // Takes a byte position inside [0, Size] on a frame boundary; false (position kept) otherwise.
  bool Seek(int64_t byte);
  // Copies up to count bytes from the position and moves it on; 0 at the end.
  int32_t Read(uint8_t* out, int32_t count);

 private:
  PcmFormat format_;
  PcmBuffer pcm_;
  mutable std::mutex mutex_;
  int64_t position_ = 0;
};

}  // namespace fd::audio
