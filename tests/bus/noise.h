#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "bus/bus_frame.h"

namespace fd::bus::testing {

inline bool FrameAt(const std::vector<uint8_t>& bytes, size_t pos) {
  return pos + 7 <= bytes.size() && bytes[pos] != 0x00 && bytes[pos] != 0xFF && FrameCrcMatches(bytes.data() + pos);
}

// Random bytes in which no seven consecutive bytes form a frame.
inline std::vector<uint8_t> NoiseWithoutFrames(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> out;
  while (out.size() < n) {
    out.push_back(static_cast<uint8_t>(random()));
    // Change the newest byte until the frame ending at it (if any) is broken.
    while (out.size() >= 7 && FrameAt(out, out.size() - 7)) out.back() = static_cast<uint8_t>(out.back() + 1);
  }
  return out;
}

}  // namespace fd::bus::testing
