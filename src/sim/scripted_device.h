#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "bus/bus_frame.h"
#include "sim/bus_device.h"

namespace fd::sim {

// A simple responder for tests: answers a request code at an address with given bytes after a
// given delay, can add loose bytes around the reply, garble it or stay silent, can speak on its
// own at a given time, and records every frame it heard. Thread-safe towards the test.
class ScriptedDevice : public BusDevice {
 public:
  struct Rule {
    uint8_t requestCode = 0;
    int address = -1;  // -1: any address
    // The reply as it goes on the wire; usually a frame with its CRC (see Reply()).
    std::vector<uint8_t> reply;
    // From the end of the request to the first reply byte.
    uint64_t delayUs = 1000;
    std::vector<uint8_t> looseBefore;  // sent right before the reply, in the same transmission
    std::vector<uint8_t> looseAfter;   // sent right after it
    bool garble = false;               // flip the CRC byte (the last byte of the reply)
    bool silent = false;               // hear the request, answer nothing
    int times = -1;                    // answers left; -1: no limit
  };

  struct Heard {
    bus::BusFrame frame{};
    uint64_t endUs = 0;
  };

  // The frame's seven bytes as the wire carries them.
  static std::vector<uint8_t> FrameBytes(const bus::Frame6& frame);
  // Rule: answer `code` at `address` with `reply` (CRC added) after delayUs.
  static Rule Reply(uint8_t code, int address, const bus::Frame6& reply, uint64_t delayUs = 1000);

  // Rules are tried in the order added; the first that matches a heard frame answers it.
  void AddRule(const Rule& rule);
  void ClearRules();
  // Puts bytes on the wire at atUs, unasked.
  void SpeakAt(uint64_t atUs, const std::vector<uint8_t>& bytes);

  std::vector<Heard> HeardFrames() const;
  // Frames heard whose code is `code`.
  int HeardCount(uint8_t code) const;
  void ClearHeard();

  void OnFrame(const bus::BusFrame& frame, uint64_t endUs, std::vector<Transmission>& out) override;
  void AdvanceTo(uint64_t nowUs, std::vector<Transmission>& out) override;

 private:
  mutable std::mutex mutex_;
  std::vector<Rule> rules_;
  std::vector<Heard> heard_;
  std::vector<Transmission> spontaneous_;
};

}  // namespace fd::sim
