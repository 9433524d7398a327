#pragma once

#include <cstdint>
#include <vector>

#include "bus/bus_frame.h"

namespace fd::sim {

// Bench time is kept in microseconds: a byte at 19200 baud, 10 bits, takes 520.83 us.
inline constexpr uint64_t kByteTimeNumeratorUs = 10'000'000;  // 10 bits x 1'000'000 us
inline constexpr uint64_t kBaud = 19200;
// Wire time of n bytes, in microseconds.
inline uint64_t WireTimeUs(uint64_t bytes) { return bytes * kByteTimeNumeratorUs / kBaud; }

// Bytes a device puts on the segment, starting at startUs (bench time).
struct Transmission {
  uint64_t startUs = 0;
  std::vector<uint8_t> bytes;
};

// A device on the simulated segment. The segment cuts intact frames (valid CRC) out of what is on
// the wire, from any talker, and gives each to every powered device once the frame's last byte has
// arrived. A device answers by appending transmissions; it may also speak on its own as time moves.
class BusDevice {
 public:
  virtual ~BusDevice() = default;

  virtual void OnFrame(const bus::BusFrame& frame, uint64_t endUs, std::vector<Transmission>& out) = 0;
  // Bench time reached nowUs: internal work (playback) and spontaneous transmissions due by then.
  virtual void AdvanceTo(uint64_t nowUs, std::vector<Transmission>& out) {
    (void)nowUs;
    (void)out;
  }

  // A device switched off hears nothing and says nothing.
  bool PoweredOn = true;
};

}  // namespace fd::sim
