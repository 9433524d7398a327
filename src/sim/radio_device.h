#pragma once

#include "sim/device_config.h"
#include "sim/model_device.h"

namespace fd::sim {

// A radio module (240..254): tells its version and answers the liveness check.
class RadioDevice : public ModelDevice {
 public:
  explicit RadioDevice(const RadioConfig& config);
  void OnFrame(const bus::BusFrame& frame, uint64_t endUs, std::vector<Transmission>& out) override;
  int Version() const { return version_; }

 private:
  const int version_;
};

// The answer to 0x80 shared by every device that tells its version: 7F 00 and three hex digits.
void AnswerVersion(const ModelDevice& device, int version, uint64_t endUs, std::vector<Transmission>& out);

}  // namespace fd::sim
