#include <algorithm>
#include <cstdint>

#include "sim/bus_segment.h"
#include "sim/bus_segment_parts.h"

namespace fd::sim {

using bus::FT_STATUS;

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
