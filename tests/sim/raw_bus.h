#pragma once

// A converter on a simulated segment under the virtual clock, for talking to the bench devices in
// raw frames: what goes out and what comes back, byte for byte, with its bench time.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "bus/bus_frame.h"
#include "platform/virtual_platform.h"
#include "sim/bus_segment.h"
#include "sim/fire_log.h"

namespace fd::sim::testing {

class RawBus {
 public:
  RawBus() { segment.OpenConverter(0, session); }

  template <typename Device, typename... Args>
  Device& Add(Args&&... args) {
    return static_cast<Device&>(segment.AddDevice(std::make_unique<Device>(std::forward<Args>(args)...)));
  }

  // Sends the request from converter 0, lets waitMs of bench time pass and returns what the
  // converter heard after its own echo.
  std::vector<uint8_t> Ask(const bus::Frame6& request, uint32_t waitMs = 30) {
    Drain();
    const bus::BusFrame frame = bus::MakeBusFrame(request);
    sentAtUs = segment.Poll();
    segment.Transmit(0, session, frame.data(), bus::kFrameSize);
    Wait(waitMs);
    std::vector<uint8_t> heard = Drain();
    if (heard.size() < bus::kFrameSize || !std::equal(frame.begin(), frame.end(), heard.begin())) {
      echoOk = false;
      return heard;
    }
    echoOk = true;
    return {heard.begin() + bus::kFrameSize, heard.end()};
  }

  void Wait(uint32_t ms) {
    for (uint32_t i = 0; i < ms; ++i) {
      clock.Sleep(1);
      segment.Poll();
    }
  }

  std::vector<uint8_t> Drain() {
    segment.Poll();
    std::vector<uint8_t> bytes(4096);
    uint32_t got = 0;
    segment.Receive(0, session, bytes.data(), static_cast<uint32_t>(bytes.size()), got);
    bytes.resize(got);
    return bytes;
  }

  // When the devices' transmissions started, in bench microseconds, oldest first.
  std::vector<uint64_t> DeviceStarts() {
    std::vector<uint64_t> starts;
    for (const WireRecord& r : segment.WireLog())
      if (r.source == WireRecord::Source::kDevice) starts.push_back(r.startUs);
    return starts;
  }

  platform::VirtualClock clock;
  BusSegment segment{clock};
  FireLog log;
  uint64_t session = 0;
  uint64_t sentAtUs = 0;
  bool echoOk = false;
};

// The reply frame a device sends, CRC included.
inline std::vector<uint8_t> Reply(uint8_t code, uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4, uint8_t address) {
  const bus::BusFrame f = bus::MakeBusFrame({code, b1, b2, b3, b4, address});
  return {f.begin(), f.end()};
}

}  // namespace fd::sim::testing
