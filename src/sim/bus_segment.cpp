#include "sim/bus_segment.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "sim/bus_segment_parts.h"

namespace fd::sim {

BusSegment::BusSegment(platform::Clock& clock, int converterCount) : clock_(clock) {
  lastTick_ = clock_.TickCount();
  for (int i = 0; i < std::max(converterCount, 0); ++i) {
    auto c = std::make_unique<Converter>();
    char serial[16];
    std::snprintf(serial, sizeof serial, "BENCH%04d", (i + 1) % 10000);
    c->serial = serial;
    converters_.push_back(std::move(c));
  }
}

BusSegment::~BusSegment() = default;

uint64_t BusSegment::NowUsLocked() {
  const uint32_t tick = clock_.TickCount();
  elapsedMs_ += static_cast<uint32_t>(tick - lastTick_);
  lastTick_ = tick;
  return elapsedMs_ * 1000;
}

uint64_t BusSegment::NowUs() {
  std::lock_guard lock(mutex_);
  return NowUsLocked();
}

BusSegment::Converter* BusSegment::Conv(int converter) {
  if (converter < 0 || converter >= static_cast<int>(converters_.size())) return nullptr;
  return converters_[converter].get();
}

const BusSegment::Converter* BusSegment::Conv(int converter) const {
  if (converter < 0 || converter >= static_cast<int>(converters_.size())) return nullptr;
  return converters_[converter].get();
}

// --- the wire -------------------------------------------------------------------------------------

void BusSegment::AddTransmissionLocked(const Talker& talker, uint64_t startUs, std::vector<uint8_t> bytes) {
  if (bytes.empty()) return;
  uint64_t* freeUs = nullptr;
  if (talker.source == WireRecord::Source::kConverter) {
    freeUs = &Conv(talker.converter)->txFreeUs;
  } else if (talker.source == WireRecord::Source::kDevice) {
    for (auto& e : devices_)
      if (e->device == talker.device) freeUs = &e->txFreeUs;
  }
  if (freeUs != nullptr) startUs = std::max(startUs, *freeUs);

  auto tx = std::make_shared<Tx>();
  tx->talker = talker;
  tx->startUs = startUs;
  tx->length = bytes.size();
  tx->flags.assign(bytes.size(), 0);
  for (size_t k = 0; k < bytes.size(); ++k) {
    if (dropOnWire_ > 0) {
      --dropOnWire_;
      tx->flags[k] |= kDropped;
    } else if (corruptOnWire_ > 0) {
      --corruptOnWire_;
      bytes[k] ^= 0xFF;
      ++corrupted_;
    } else if (corruptionRate_ > 0 &&
               std::uniform_real_distribution<double>(0, 1)(corruptionRandom_) < corruptionRate_) {
      // Any change but none: a flipped bit pattern picked at random.
      bytes[k] ^= static_cast<uint8_t>(std::uniform_int_distribution<int>(1, 255)(corruptionRandom_));
      ++corrupted_;
    }
  }
  tx->bytes = std::move(bytes);
  if (freeUs != nullptr) *freeUs = tx->EndUs();

  auto sameTalker = [](const Talker& a, const Talker& b) {
    if (a.source != b.source || a.source == WireRecord::Source::kInjected) return false;
    return a.source == WireRecord::Source::kConverter ? a.converter == b.converter : a.device == b.device;
  };
  // Two talkers at once: every byte of one that overlaps a byte of the other turns to garbage,
  // mixed from both so that it never equals what was sent.
  auto garble = [](Tx& victim, size_t k, uint8_t other) {
    if (victim.flags[k] & kGarbled) return;
    victim.flags[k] |= kGarbled;
    victim.bytes[k] ^= static_cast<uint8_t>(0x80 | (other & 0x7F));
  };
  for (auto& other : wire_) {
    if (sameTalker(other->talker, talker)) continue;
    if (!(other->startUs < tx->EndUs() && tx->startUs < other->EndUs())) continue;
    other->collided = true;
    tx->collided = true;
    for (size_t i = 0; i < tx->length; ++i) {
      for (size_t j = 0; j < other->length; ++j) {
        if (other->ByteStartUs(j) >= tx->ByteEndUs(i)) break;
        if (other->ByteEndUs(j) <= tx->ByteStartUs(i)) continue;
        const uint8_t mine = tx->bytes[i];
        garble(*tx, i, other->bytes[j]);
        garble(*other, j, mine);
      }
    }
  }

  auto at = std::upper_bound(wire_.begin(), wire_.end(), tx->startUs,
                             [](uint64_t s, const std::shared_ptr<Tx>& t) { return s < t->startUs; });
  wire_.insert(at, tx);
  for (size_t k = 0; k < tx->length; ++k) arrivals_.emplace(tx->ByteEndUs(k), std::make_pair(tx, k));
  log_.push_back(tx);
  while (log_.size() > kWireLogLimit) log_.pop_front();
}

uint64_t BusSegment::CutTalkerLocked(const Talker& talker, uint64_t nowUs) {
  uint64_t lastEnd = 0;
  for (auto& tx : wire_) {
    const bool same = tx->talker.source == talker.source &&
                      (talker.source == WireRecord::Source::kConverter ? tx->talker.converter == talker.converter
                                                                       : tx->talker.device == talker.device);
    if (!same) continue;
    tx->CutAt(nowUs);
    lastEnd = std::max(lastEnd, tx->EndUs());
  }
  return lastEnd;
}

bool BusSegment::NextFrameLocked(uint64_t nowUs, PendingFrame& frame) {
  std::shared_ptr<Tx> best;
  for (auto& tx : wire_) {
    if (tx->framesDone || tx->startUs > nowUs) continue;
    const auto& frames = tx->Frames();
    if (tx->framesDelivered >= frames.size()) {
      if (tx->EndUs() <= nowUs) tx->framesDone = true;
      continue;
    }
    const auto& next = frames[tx->framesDelivered];
    if (next.endUs > nowUs) continue;
    if (!best || next.endUs < frame.endUs) {
      best = tx;
      frame.frame = next.frame;
      frame.endUs = next.endUs;
    }
  }
  if (!best) return false;
  ++best->framesDelivered;
  frame.talker = best->talker.source == WireRecord::Source::kDevice ? best->talker.device : nullptr;
  return true;
}

void BusSegment::DeliverBytesLocked(uint64_t nowUs) {
  while (!arrivals_.empty() && arrivals_.begin()->first <= nowUs) {
    auto [tx, k] = arrivals_.begin()->second;
    arrivals_.erase(arrivals_.begin());
    if (k >= tx->length || (tx->flags[k] & kDropped)) continue;
    for (size_t i = 0; i < converters_.size(); ++i) {
      Converter& c = *converters_[i];
      if (!c.plugged || c.session == 0) continue;
      if (!c.echo && tx->talker.source == WireRecord::Source::kConverter && tx->talker.converter == static_cast<int>(i))
        continue;
      uint8_t value = tx->bytes[k];
      if (c.dropRx > 0) {
        --c.dropRx;
        continue;
      }
      if (c.corruptRx > 0) {
        --c.corruptRx;
        value ^= 0xFF;
      }
      c.rx.push_back(value);
      if (c.rx.size() > kReceiveLimit) c.rx.pop_front();
    }
  }
}

void BusSegment::PruneLocked(uint64_t nowUs) {
  while (!wire_.empty()) {
    const Tx& first = *wire_.front();
    // Sorted by start, not end; a long early transmission keeps later ones a little longer.
    if (!first.framesDone || first.EndUs() + kWireMemoryUs > nowUs) break;
    wire_.pop_front();
  }
}

// --- moving time ----------------------------------------------------------------------------------

void BusSegment::RunDevice(DeviceEntry& entry, const PendingFrame* frame, uint64_t atUs) {
  if (!entry.device->PoweredOn) return;
  std::vector<Transmission> out;
  if (frame != nullptr) {
    if (frame->talker == entry.device) return;
    entry.device->OnFrame(frame->frame, frame->endUs, out);
  } else {
    entry.device->AdvanceTo(atUs, out);
  }
  if (out.empty()) return;
  std::lock_guard lock(mutex_);
  for (auto& t : out)
    AddTransmissionLocked({WireRecord::Source::kDevice, -1, entry.device}, t.startUs, std::move(t.bytes));
}

void BusSegment::AdvanceDevices(uint64_t untilUs) {
  deviceTimeUs_ = std::max(deviceTimeUs_, untilUs);
  for (size_t i = 0; i < devices_.size(); ++i) RunDevice(*devices_[i], nullptr, deviceTimeUs_);
}

void BusSegment::CatchUp() {
  if (pollingThread_.load() != std::this_thread::get_id()) Poll();
}

uint64_t BusSegment::Poll() {
  std::lock_guard advance(advanceMutex_);
  pollingThread_ = std::this_thread::get_id();
  struct Leave {
    std::atomic<std::thread::id>& id;
    ~Leave() { id = std::thread::id(); }
  } leave{pollingThread_};
  uint64_t now;
  {
    std::lock_guard lock(mutex_);
    now = NowUsLocked();
  }
  // Frames and device time in order: a device hears a frame only after it has lived up to the
  // frame's end, and its answer may itself end before now and be heard in this same poll.
  bool needAdvance = true;
  for (;;) {
    PendingFrame frame;
    bool have;
    {
      std::lock_guard lock(mutex_);
      have = NextFrameLocked(now, frame);
    }
    if (have) {
      AdvanceDevices(frame.endUs);
      for (size_t i = 0; i < devices_.size(); ++i) RunDevice(*devices_[i], &frame, frame.endUs);
      needAdvance = true;
      continue;
    }
    if (!needAdvance) break;
    AdvanceDevices(now);
    needAdvance = false;
  }
  std::lock_guard lock(mutex_);
  DeliverBytesLocked(now);
  PruneLocked(now);
  return now;
}

}  // namespace fd::sim
