#include "sim/remote_device.h"

#include <algorithm>

#include "sim/radio_device.h"

namespace fd::sim {

RemoteDevice::RemoteDevice(const RemoteConfig& config)
    : ModelDevice(bus::kRemoteControlAddress), version_(config.version) {
  SetTurnaroundUs(config.turnaroundUs);
  SetLateUs(config.lateUs);
}

void RemoteDevice::OnFrame(const bus::BusFrame& frame, uint64_t endUs, std::vector<Transmission>& out) {
  // Address 0 is also where the run and stop broadcasts go; only the version request is ours.
  if (frame[0] == 0x80 && frame[5] == Address()) AnswerVersion(*this, version_, endUs, out);
}

void RemoteDevice::PressStop(int timeMs) {
  std::lock_guard lock(mutex_);
  if (!on_) return;  // a switched-off remote sends nothing, now or later
  pendingStops_.push_back(timeMs);
}

void RemoteDevice::PowerChanged(bool on) {
  std::lock_guard lock(mutex_);
  on_ = on;
  if (!on) pendingStops_.clear();
}

void RemoteDevice::AdvanceTo(uint64_t nowUs, std::vector<Transmission>& out) {
  std::lock_guard lock(mutex_);
  uint64_t startUs = nowUs;
  for (int timeMs : pendingStops_) {
    const int tenths = std::clamp(timeMs / 100, 0, 0xFFFF);
    Transmission t;
    t.startUs = startUs;
    t.bytes = FrameBytes(0x90, static_cast<uint8_t>(tenths >> 8), static_cast<uint8_t>(tenths & 0xFF), 0x00, 0x00,
                         bus::kRemoteControlAddress);
    out.push_back(std::move(t));
    startUs += WireTimeUs(bus::kFrameSize) + kDefaultTurnaroundUs;
  }
  pendingStops_.clear();
}

}  // namespace fd::sim
