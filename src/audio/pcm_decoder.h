#pragma once

#include <cstdint>
#include <string>

#include "audio/pcm_buffer.h"

struct AVFormatContext;

namespace fd::audio {

// The shape of decoded PCM: interleaved, 8-bit unsigned when the source is 8-bit, else 16-bit
// signed; the file's own rate and channel count (only the sample format is converted).
struct PcmFormat {
  uint16_t Channels = 0;
  uint32_t SampleRate = 0;
  uint16_t BitsPerSample = 0;

  uint16_t BlockAlign() const { return static_cast<uint16_t>(BitsPerSample * Channels / 8); }
  uint32_t BytesPerSecond() const { return BlockAlign() * SampleRate; }
};

// The most decoded PCM a soundtrack may have: its length is a signed 32-bit byte count.
inline constexpr int64_t kMaxPcmBytes = INT32_MAX;

// Decodes the first audio stream of an opened container, whole, into pcm. Returns false with a
// short reason when there is no audio, the decoder refuses it, its format changes midway, or the
// result would be longer than kMaxPcmBytes. Damaged packets inside a stream are skipped.
bool DecodeToPcm(AVFormatContext* container, PcmFormat& format, PcmBuffer& pcm, std::string& error);

}  // namespace fd::audio
