#include "sim/model_device.h"

namespace fd::sim {

std::vector<uint8_t> ModelDevice::FrameBytes(uint8_t code, uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4,
                                             uint8_t address) {
  const bus::BusFrame frame = bus::MakeBusFrame({code, b1, b2, b3, b4, address});
  return {frame.begin(), frame.end()};
}

void ModelDevice::Answer(std::vector<Transmission>& out, uint64_t endUs, uint8_t code, uint8_t b1, uint8_t b2,
                         uint8_t b3, uint8_t b4, const std::vector<uint8_t>& loose) const {
  Transmission t;
  t.startUs = AnswerStartUs(endUs);
  t.bytes = FrameBytes(code, b1, b2, b3, b4, static_cast<uint8_t>(address_));
  t.bytes.insert(t.bytes.end(), loose.begin(), loose.end());
  out.push_back(std::move(t));
}

}  // namespace fd::sim
