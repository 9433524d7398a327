#pragma once

#include <cstdint>

namespace fd::audio {

// The byte of the decoded PCM that a show time stands for: ms / 1000 * bytes per second in
// floating point, rounded to the nearest byte with ties to even. Negative before the start.
int64_t ByteForMs(int32_t ms, uint32_t bytesPerSecond);

// A byte between two sample frames cannot start playback (it would swap channels or split a
// 16-bit sample), so it goes down to the frame it falls in; a byte on a frame boundary is kept.
// Negative bytes go towards zero, so a lead-in never grows past what the time asked for.
int64_t AlignToFrame(int64_t byte, uint16_t blockAlign);

// Duration in ms of size bytes: size / bytes per second * 1000 in floating point, truncated.
// A format without bytes per second has no duration (0) rather than a division by zero.
int32_t DurationMs(int32_t size, uint32_t bytesPerSecond);

}  // namespace fd::audio
