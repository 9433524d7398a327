#include "sim/scripted_device.h"

namespace fd::sim {

std::vector<uint8_t> ScriptedDevice::FrameBytes(const bus::Frame6& frame) {
  const bus::BusFrame f = bus::MakeBusFrame(frame);
  return std::vector<uint8_t>(f.begin(), f.end());
}

ScriptedDevice::Rule ScriptedDevice::Reply(uint8_t code, int address, const bus::Frame6& reply, uint64_t delayUs) {
  Rule rule;
  rule.requestCode = code;
  rule.address = address;
  rule.reply = FrameBytes(reply);
  rule.delayUs = delayUs;
  return rule;
}

void ScriptedDevice::AddRule(const Rule& rule) {
  std::lock_guard lock(mutex_);
  rules_.push_back(rule);
}

void ScriptedDevice::ClearRules() {
  std::lock_guard lock(mutex_);
  rules_.clear();
}

void ScriptedDevice::SpeakAt(uint64_t atUs, const std::vector<uint8_t>& bytes) {
  std::lock_guard lock(mutex_);
  spontaneous_.push_back({atUs, bytes});
}

std::vector<ScriptedDevice::Heard> ScriptedDevice::HeardFrames() const {
  std::lock_guard lock(mutex_);
  return heard_;
}

int ScriptedDevice::HeardCount(uint8_t code) const {
  std::lock_guard lock(mutex_);
  int n = 0;
  for (const auto& h : heard_) n += h.frame[0] == code ? 1 : 0;
  return n;
}

void ScriptedDevice::ClearHeard() {
  std::lock_guard lock(mutex_);
  heard_.clear();
}

void ScriptedDevice::OnFrame(const bus::BusFrame& frame, uint64_t endUs, std::vector<Transmission>& out) {
  std::lock_guard lock(mutex_);
  heard_.push_back({frame, endUs});
  for (auto& rule : rules_) {
    if (rule.requestCode != frame[0]) continue;
    if (rule.address >= 0 && rule.address != frame[5]) continue;
    if (rule.times == 0) continue;
    if (rule.times > 0) --rule.times;
    if (rule.silent) return;
    Transmission t;
    t.startUs = endUs + rule.delayUs;
    t.bytes = rule.looseBefore;
    std::vector<uint8_t> reply = rule.reply;
    if (rule.garble && !reply.empty()) reply.back() ^= 0xFF;
    t.bytes.insert(t.bytes.end(), reply.begin(), reply.end());
    t.bytes.insert(t.bytes.end(), rule.looseAfter.begin(), rule.looseAfter.end());
    if (!t.bytes.empty()) out.push_back(std::move(t));
    return;
  }
}

void ScriptedDevice::AdvanceTo(uint64_t, std::vector<Transmission>& out) {
  // Handed over at once with their own start times; the segment puts them on the wire then.
  std::lock_guard lock(mutex_);
  for (auto& t : spontaneous_) out.push_back(std::move(t));
  spontaneous_.clear();
}

}  // namespace fd::sim
