#include <algorithm>
#include <cstdint>

#include "sim/bus_segment.h"
#include "sim/bus_segment_parts.h"

namespace fd::sim {

// --- devices --------------------------------------------------------------------------------------

BusDevice& BusSegment::AddDevice(std::unique_ptr<BusDevice> device) {
  std::lock_guard advance(advanceMutex_);
  auto entry = std::make_unique<DeviceEntry>();
  entry->device = device.get();
  entry->owned = std::move(device);
  BusDevice& ref = *entry->device;
  std::lock_guard lock(mutex_);
  devices_.push_back(std::move(entry));
  return ref;
}

void BusSegment::AttachDevice(BusDevice& device) {
  std::lock_guard advance(advanceMutex_);
  auto entry = std::make_unique<DeviceEntry>();
  entry->device = &device;
  std::lock_guard lock(mutex_);
  devices_.push_back(std::move(entry));
}

void BusSegment::DetachDevice(BusDevice& device) {
  CatchUp();
  std::unique_ptr<DeviceEntry> gone;  // an owned device dies outside the locks
  std::lock_guard advance(advanceMutex_);
  {
    std::lock_guard lock(mutex_);
    CutTalkerLocked({WireRecord::Source::kDevice, -1, &device}, NowUsLocked());
    auto it = std::find_if(devices_.begin(), devices_.end(), [&](auto& e) { return e->device == &device; });
    if (it == devices_.end()) return;
    gone = std::move(*it);
    devices_.erase(it);
  }
}

void BusSegment::SetDevicePowered(BusDevice& device, bool on) {
  CatchUp();
  // From a device's own callback the poll already holds the advance lock.
  std::unique_lock advance(advanceMutex_, std::defer_lock);
  if (pollingThread_.load() != std::this_thread::get_id()) advance.lock();
  device.PoweredOn = on;
  if (on) return;
  std::lock_guard lock(mutex_);
  const uint64_t lastEnd = CutTalkerLocked({WireRecord::Source::kDevice, -1, &device}, NowUsLocked());
  for (auto& e : devices_)
    if (e->device == &device) e->txFreeUs = lastEnd;
}

void BusSegment::Inject(const std::vector<uint8_t>& bytes, uint64_t startUs) {
  CatchUp();
  std::lock_guard lock(mutex_);
  AddTransmissionLocked({WireRecord::Source::kInjected, -1, nullptr}, startUs, bytes);
}

// --- faults ---------------------------------------------------------------------------------------

int BusSegment::ConverterCount() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(converters_.size());
}

void BusSegment::Unplug(int converter) {
  CatchUp();
  std::lock_guard lock(mutex_);
  Converter* c = Conv(converter);
  if (c == nullptr) return;
  c->plugged = false;
  c->session = 0;
  c->rx.clear();
  c->txFreeUs = CutTalkerLocked({WireRecord::Source::kConverter, converter, nullptr}, NowUsLocked());
}

void BusSegment::Replug(int converter) {
  std::lock_guard lock(mutex_);
  if (Converter* c = Conv(converter)) c->plugged = true;
}

bool BusSegment::Plugged(int converter) {
  std::lock_guard lock(mutex_);
  const Converter* c = Conv(converter);
  return c != nullptr && c->plugged;
}

void BusSegment::SetOpenable(int converter, bool openable) {
  std::lock_guard lock(mutex_);
  if (Converter* c = Conv(converter)) c->openable = openable;
}

void BusSegment::SetEcho(int converter, bool echo) {
  CatchUp();
  std::lock_guard lock(mutex_);
  if (Converter* c = Conv(converter)) c->echo = echo;
}

void BusSegment::DropReceived(int converter, int n) {
  CatchUp();
  std::lock_guard lock(mutex_);
  if (Converter* c = Conv(converter)) c->dropRx = std::max(n, 0);
}

void BusSegment::CorruptReceived(int converter, int n) {
  CatchUp();
  std::lock_guard lock(mutex_);
  if (Converter* c = Conv(converter)) c->corruptRx = std::max(n, 0);
}

void BusSegment::DropOnWire(int n) {
  CatchUp();
  std::lock_guard lock(mutex_);
  dropOnWire_ = std::max(n, 0);
}

void BusSegment::CorruptOnWire(int n) {
  CatchUp();
  std::lock_guard lock(mutex_);
  corruptOnWire_ = std::max(n, 0);
}

void BusSegment::SetCorruptionRate(double fraction, uint32_t seed) {
  CatchUp();
  std::lock_guard lock(mutex_);
  corruptionRate_ = std::clamp(fraction, 0.0, 1.0);
  corruptionRandom_.seed(seed);
}

uint64_t BusSegment::CorruptedCount() {
  std::lock_guard lock(mutex_);
  return corrupted_;
}

std::vector<WireRecord> BusSegment::WireLog() {
  std::lock_guard lock(mutex_);
  std::vector<WireRecord> records;
  records.reserve(log_.size());
  for (const auto& tx : log_) {
    WireRecord r;
    r.source = tx->talker.source;
    r.converter = tx->talker.converter;
    r.device = tx->talker.device;
    r.startUs = tx->startUs;
    r.endUs = tx->EndUs();
    r.collided = tx->collided;
    for (size_t k = 0; k < tx->length; ++k)
      if (!(tx->flags[k] & kDropped)) r.bytes.push_back(tx->bytes[k]);
    records.push_back(std::move(r));
  }
  return records;
}

void BusSegment::ClearWireLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
}

}  // namespace fd::sim
