#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "bus/bus_frame.h"
#include "sim/bus_device.h"

namespace fd::sim {

inline constexpr uint64_t kDefaultTurnaroundUs = 2000;

// What every modelled device shares: its bus address, the pause between the last byte of a request
// and the first byte of its answer, and the "late" fault that holds every answer back further.
class ModelDevice : public BusDevice {
 public:
  explicit ModelDevice(int address) : address_(address) {}

  int Address() const { return address_; }

  void SetTurnaroundUs(uint64_t us) { turnaroundUs_ = us; }
  uint64_t TurnaroundUs() const { return turnaroundUs_; }
  // Extra delay on top of the turn-around (0 = answers on time).
  void SetLateUs(uint64_t us) { lateUs_ = us; }
  uint64_t LateUs() const { return lateUs_; }

  // Told by the bench when the device is switched off or on (PoweredOn is already set).
  virtual void PowerChanged(bool on) { (void)on; }

  // A frame as the wire carries it: code, four data bytes, address, CRC.
  static std::vector<uint8_t> FrameBytes(uint8_t code, uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4, uint8_t address);

 protected:
  // Queues this device's answer to a request that ended at endUs: code, four data bytes, own address
  // and CRC, followed by any loose bytes in the same breath.
  void Answer(std::vector<Transmission>& out, uint64_t endUs, uint8_t code, uint8_t b1, uint8_t b2, uint8_t b3,
              uint8_t b4, const std::vector<uint8_t>& loose = {}) const;
  uint64_t AnswerStartUs(uint64_t endUs) const { return endUs + turnaroundUs_ + lateUs_; }

 private:
  const int address_;
  std::atomic<uint64_t> turnaroundUs_{kDefaultTurnaroundUs};
  std::atomic<uint64_t> lateUs_{0};
};

}  // namespace fd::sim
