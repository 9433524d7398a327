#include "audio/play_position.h"

#include <cmath>
#include <cstdint>

namespace fd::audio {

int64_t ByteForMs(int32_t ms, uint32_t bytesPerSecond) {
  // Default rounding mode is to nearest with ties to even, which is what nearbyint uses.
  return static_cast<int64_t>(std::nearbyint(static_cast<double>(ms) / 1000.0 * bytesPerSecond));
}

int64_t AlignToFrame(int64_t byte, uint16_t blockAlign) {
  if (blockAlign == 0) return byte;
  return byte / blockAlign * blockAlign;  // truncation: down for positions, towards zero for lead-ins
}

int32_t DurationMs(int32_t size, uint32_t bytesPerSecond) {
  if (bytesPerSecond == 0) return 0;
  const double ms = static_cast<double>(size) / bytesPerSecond * 1000.0;
  // A very low byte rate could carry a long file past what 32 bits of milliseconds hold.
  if (ms >= 2147483647.0) return INT32_MAX;
  return static_cast<int32_t>(ms);
}

}  // namespace fd::audio
