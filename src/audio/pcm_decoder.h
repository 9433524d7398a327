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
// The longest soundtrack: three hours, far beyond any show, and about 1.9 GB of CD-quality PCM.
inline constexpr int32_t kMaxSoundtrackSeconds = 3 * 3600;
// The sample rates taken. The output converter needs memory in proportion to how far a file's rate
// is from the device's: a 1 Hz file takes it hundreds of megabytes. Real soundtracks lie far inside.
inline constexpr int kMinSampleRate = 1000;
inline constexpr int kMaxSampleRate = 768000;

// Decodes the first audio stream of an opened container, whole, into pcm. Returns false with a
// short reason for the operator's log when there is no audio, the decoder refuses it, its format
// changes midway, or it is longer than kMaxSoundtrackSeconds or kMaxPcmBytes (weighed from the
// container's length before decoding, and held to while decoding). Damaged packets inside a
// stream are skipped.
bool DecodeToPcm(AVFormatContext* container, PcmFormat& format, PcmBuffer& pcm, std::string& error);

}  // namespace fd::audio
