#include "sim/radio_device.h"

namespace fd::sim {

void AnswerVersion(const ModelDevice& device, int version, uint64_t endUs, std::vector<Transmission>& out) {
  auto digit = [](int v) { return static_cast<uint8_t>("0123456789ABCDEF"[v & 0xF]); };
  Transmission t;
  t.startUs = endUs + device.TurnaroundUs() + device.LateUs();
  t.bytes = ModelDevice::FrameBytes(0x7F, 0x00, digit(version >> 8), digit(version >> 4), digit(version),
                                    static_cast<uint8_t>(device.Address()));
  out.push_back(std::move(t));
}

RadioDevice::RadioDevice(const RadioConfig& config) : ModelDevice(config.address), version_(config.version) {
  SetTurnaroundUs(config.turnaroundUs);
  SetLateUs(config.lateUs);
}

void RadioDevice::OnFrame(const bus::BusFrame& frame, uint64_t endUs, std::vector<Transmission>& out) {
  if (frame[5] != Address()) return;
  if (frame[0] == 0x80) AnswerVersion(*this, version_, endUs, out);
  if (frame[0] == 0x8F) Answer(out, endUs, 0x70, 'O', 'k', 0x00, 0x00);
}

}  // namespace fd::sim
