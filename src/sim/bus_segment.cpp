#include "sim/bus_segment.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace fd::sim {

using bus::FT_STATUS;

namespace {

constexpr uint8_t kDropped = 1;
constexpr uint8_t kGarbled = 2;
// Transmissions stay on the wire record this long after their end, so that a late talker whose
// start lies a little in the past still collides with them.
constexpr uint64_t kWireMemoryUs = 1'000'000;

}  // namespace

struct BusSegment::Tx {
  Talker talker;
  uint64_t startUs = 0;
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> flags;
  size_t length = 0;  // bytes that go out; purge and power-off cut the tail
  bool collided = false;
  size_t framesDelivered = 0;
  bool framesDone = false;

  uint64_t ByteStartUs(size_t k) const { return startUs + WireTimeUs(k); }
  uint64_t ByteEndUs(size_t k) const { return startUs + WireTimeUs(k + 1); }
  uint64_t EndUs() const { return startUs + WireTimeUs(length); }

  // Cuts the transmission at nowUs: bytes that had not started by then never go out.
  void CutAt(uint64_t nowUs) {
    size_t keep = 0;
    while (keep < length && ByteStartUs(keep) < nowUs) ++keep;
    length = keep;
  }

  struct CutFrame {
    bus::BusFrame frame;
    uint64_t endUs;
  };
  // The intact frames in what listeners hear of this transmission. Asked on every poll for every
  // transmission still on record, while what it gives changes only when the transmission is cut
  // short or collides (the bytes change only in a collision): kept until then.
  const std::vector<CutFrame>& Frames() const {
    if (cachedLength != length || cachedCollided != collided) {
      cachedFrames = CutFrames();
      cachedLength = length;
      cachedCollided = collided;
    }
    return cachedFrames;
  }

 private:
  mutable std::vector<CutFrame> cachedFrames;
  mutable size_t cachedLength = SIZE_MAX;
  mutable bool cachedCollided = false;

  std::vector<CutFrame> CutFrames() const {
    std::vector<CutFrame> frames;
    if (collided) return frames;
    std::vector<size_t> heard;
    for (size_t k = 0; k < length; ++k)
      if (!(flags[k] & kDropped)) heard.push_back(k);
    size_t pos = 0;
    while (pos + bus::kFrameSize <= heard.size()) {
      bus::BusFrame f;
      for (int i = 0; i < bus::kFrameSize; ++i) f[i] = bytes[heard[pos + i]];
      if (f[0] != 0x00 && f[0] != 0xFF && bus::FrameCrcMatches(f.data())) {
        frames.push_back({f, ByteEndUs(heard[pos + bus::kFrameSize - 1])});
        pos += bus::kFrameSize;
      } else {
        ++pos;
      }
    }
    return frames;
  }
};

struct BusSegment::Converter {
  std::string serial;
  bool plugged = true;
  bool openable = true;
  bool echo = true;
  uint64_t session = 0;  // 0: not open
  std::deque<uint8_t> rx;
  int dropRx = 0;
  int corruptRx = 0;
  uint64_t txFreeUs = 0;
};

struct BusSegment::DeviceEntry {
  BusDevice* device = nullptr;
  std::unique_ptr<BusDevice> owned;
  uint64_t txFreeUs = 0;  // guarded by mutex_
};

struct BusSegment::PendingFrame {
  bus::BusFrame frame{};
  uint64_t endUs = 0;
  const BusDevice* talker = nullptr;
};

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

// --- the converter side ---------------------------------------------------------------------------

uint32_t BusSegment::ListedCount() {
  std::lock_guard lock(mutex_);
  return static_cast<uint32_t>(
      std::count_if(converters_.begin(), converters_.end(), [](auto& c) { return c->plugged; }));
}

bool BusSegment::ListedConverter(uint32_t listIndex, int& converter) {
  std::lock_guard lock(mutex_);
  uint32_t seen = 0;
  for (size_t i = 0; i < converters_.size(); ++i) {
    if (!converters_[i]->plugged) continue;
    if (seen++ == listIndex) {
      converter = static_cast<int>(i);
      return true;
    }
  }
  return false;
}

std::string BusSegment::SerialNumber(int converter) const {
  std::lock_guard lock(mutex_);
  const Converter* c = Conv(converter);
  return c != nullptr ? c->serial : std::string();
}

FT_STATUS BusSegment::OpenConverter(int converter, uint64_t& session) {
  std::lock_guard lock(mutex_);
  Converter* c = Conv(converter);
  if (c == nullptr || !c->plugged) return bus::FT_DEVICE_NOT_FOUND;
  if (!c->openable || c->session != 0) return bus::FT_DEVICE_NOT_OPENED;
  NowUsLocked();
  c->session = nextSession_++;
  c->rx.clear();
  session = c->session;
  return bus::FT_OK;
}

FT_STATUS BusSegment::CloseConverter(int converter, uint64_t session) {
  std::lock_guard lock(mutex_);
  Converter* c = Conv(converter);
  if (c == nullptr) return bus::FT_INVALID_HANDLE;
  if (c->session == session) {
    c->session = 0;
    c->rx.clear();
  }
  return bus::FT_OK;
}

FT_STATUS BusSegment::CheckSession(int converter, uint64_t session) {
  std::lock_guard lock(mutex_);
  const Converter* c = Conv(converter);
  if (c == nullptr) return bus::FT_INVALID_HANDLE;
  if (!c->plugged || c->session == 0 || c->session != session) return bus::FT_IO_ERROR;
  return bus::FT_OK;
}

FT_STATUS BusSegment::Transmit(int converter, uint64_t session, const uint8_t* data, uint32_t count) {
  std::lock_guard lock(mutex_);
  const Converter* c = Conv(converter);
  if (c == nullptr) return bus::FT_INVALID_HANDLE;
  if (!c->plugged || c->session == 0 || c->session != session) return bus::FT_IO_ERROR;
  if (count == 0) return bus::FT_OK;
  if (data == nullptr) return bus::FT_INVALID_PARAMETER;
  const uint64_t now = NowUsLocked();
  AddTransmissionLocked({WireRecord::Source::kConverter, converter, nullptr}, now,
                        std::vector<uint8_t>(data, data + count));
  return bus::FT_OK;
}

FT_STATUS BusSegment::Receive(int converter, uint64_t session, uint8_t* buffer, uint32_t count, uint32_t& got) {
  got = 0;
  std::lock_guard lock(mutex_);
  Converter* c = Conv(converter);
  if (c == nullptr) return bus::FT_INVALID_HANDLE;
  if (!c->plugged || c->session == 0 || c->session != session) return bus::FT_IO_ERROR;
  if (count > 0 && buffer == nullptr) return bus::FT_INVALID_PARAMETER;
  while (got < count && !c->rx.empty()) {
    buffer[got++] = c->rx.front();
    c->rx.pop_front();
  }
  return bus::FT_OK;
}

FT_STATUS BusSegment::QueueStatus(int converter, uint64_t session, uint32_t& bytes) {
  bytes = 0;
  std::lock_guard lock(mutex_);
  const Converter* c = Conv(converter);
  if (c == nullptr) return bus::FT_INVALID_HANDLE;
  if (!c->plugged || c->session == 0 || c->session != session) return bus::FT_IO_ERROR;
  bytes = static_cast<uint32_t>(c->rx.size());
  return bus::FT_OK;
}

FT_STATUS BusSegment::Purge(int converter, uint64_t session, uint32_t mask) {
  std::lock_guard lock(mutex_);
  Converter* c = Conv(converter);
  if (c == nullptr) return bus::FT_INVALID_HANDLE;
  if (!c->plugged || c->session == 0 || c->session != session) return bus::FT_IO_ERROR;
  if (mask & bus::FT_PURGE_RX) c->rx.clear();
  if (mask & bus::FT_PURGE_TX) {
    c->txFreeUs = CutTalkerLocked({WireRecord::Source::kConverter, converter, nullptr}, NowUsLocked());
  }
  return bus::FT_OK;
}

}  // namespace fd::sim
