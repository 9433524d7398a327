#include "sim/peer_device.h"

#include <algorithm>

namespace fd::sim {

namespace {

constexpr uint8_t kPeerQuery = 0x01, kPeerAnswer = 0x02, kStateQuery = 0x03, kStateAnswer = 0x04, kRunStop = 0x90,
                  kAnnounceStop = 0x11;

}  // namespace

PeerDevice::PeerDevice(const PeerConfig& config)
    : ModelDevice(bus::kPeerAddress),
      instance_(config.instance),
      majorVersion_(config.majorVersion),
      random_(config.seed != 0 ? config.seed : static_cast<uint32_t>(config.instance)) {
  SetTurnaroundUs(config.turnaroundUs);
  SetLateUs(config.lateUs);
}

void PeerDevice::OnFrame(const bus::BusFrame& frame, uint64_t endUs, std::vector<Transmission>& out) {
  if (frame[5] != bus::kPeerAddress) return;
  std::lock_guard lock(mutex_);
  const bool forMe = frame[4] == 0 || frame[4] == instance_;
  if (frame[0] == kPeerQuery && forMe) {
    const int delayMs = static_cast<int>(random_() % 150);
    delays_.push_back(delayMs);
    Transmission t;
    t.startUs = endUs + TurnaroundUs() + LateUs() + static_cast<uint64_t>(delayMs) * 1000;
    t.bytes = FrameBytes(kPeerAnswer, static_cast<uint8_t>(majorVersion_), 0x00, static_cast<uint8_t>(instance_),
                         frame[3], bus::kPeerAddress);
    out.push_back(std::move(t));
  } else if (frame[0] == kStateAnswer && frame[4] == instance_) {
    answers_.push_back({frame[1], frame[2], frame[3], endUs});
  }
}

void PeerDevice::SendStateQuery(int target) {
  std::lock_guard lock(mutex_);
  if (!on_) return;
  pending_.push_back(FrameBytes(kStateQuery, 0x00, 0x00, static_cast<uint8_t>(instance_), static_cast<uint8_t>(target),
                                bus::kPeerAddress));
}

void PeerDevice::SendStop(int timeMs) {
  const int tenths = std::clamp(timeMs / 100, 0, 0xFFFF);
  const auto hi = static_cast<uint8_t>(tenths >> 8), lo = static_cast<uint8_t>(tenths & 0xFF);
  std::lock_guard lock(mutex_);
  if (!on_) return;
  pending_.push_back(FrameBytes(kRunStop, hi, lo, 0x00, 0x00, bus::kRemoteControlAddress));
  pending_.push_back(FrameBytes(kAnnounceStop, hi, lo, static_cast<uint8_t>(instance_), 0x00, bus::kPeerAddress));
}

void PeerDevice::AdvanceTo(uint64_t nowUs, std::vector<Transmission>& out) {
  std::lock_guard lock(mutex_);
  // Frames queued together leave one after another, each with the 2 ms pause a program leaves
  // before it writes.
  uint64_t startUs = nowUs;
  for (auto& bytes : pending_) {
    Transmission t;
    t.startUs = startUs;
    startUs += WireTimeUs(bytes.size()) + kDefaultTurnaroundUs;
    t.bytes = std::move(bytes);
    out.push_back(std::move(t));
  }
  pending_.clear();
}

void PeerDevice::PowerChanged(bool on) {
  std::lock_guard lock(mutex_);
  on_ = on;
  if (!on) pending_.clear();
}

std::vector<StateAnswer> PeerDevice::StateAnswers() const {
  std::lock_guard lock(mutex_);
  return answers_;
}

std::vector<int> PeerDevice::AnswerDelays() const {
  std::lock_guard lock(mutex_);
  return delays_;
}

}  // namespace fd::sim
