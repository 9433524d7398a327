#pragma once

#include <mutex>
#include <vector>

#include "sim/device_config.h"
#include "sim/model_device.h"

namespace fd::sim {

// The remote control (address 0): tells its version, and on its operator's button sends the stop
// broadcast 90 T T 00 00 00 that halts every console and every operator program.
class RemoteDevice : public ModelDevice {
 public:
  explicit RemoteDevice(const RemoteConfig& config);
  void OnFrame(const bus::BusFrame& frame, uint64_t endUs, std::vector<Transmission>& out) override;
  void AdvanceTo(uint64_t nowUs, std::vector<Transmission>& out) override;
  int Version() const { return version_; }
  void PowerChanged(bool on) override;

  // Presses the stop button: the broadcast goes out as soon as the bench next moves on, carrying
  // the given show time in 100 ms units (the remote keeps no show clock; 0 unless told).
  void PressStop(int timeMs = 0);

 private:
  const int version_;
  std::mutex mutex_;
  bool on_ = true;  // as last told by PowerChanged
  std::vector<int> pendingStops_;
};

}  // namespace fd::sim
