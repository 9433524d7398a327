#include "sim/bench_driver.h"

#include "platform/clock.h"

namespace fd::sim {

using bus::FT_HANDLE;
using bus::FT_STATUS;

BenchDriver::BenchDriver(BusSegment& segment) : segment_(segment) {}

BenchDriver::~BenchDriver() {
  // Whatever the program left open is released, as when a process ends.
  std::map<FT_HANDLE, Handle> left;
  {
    std::lock_guard lock(mutex_);
    left.swap(handles_);
  }
  for (auto& [h, entry] : left) segment_.CloseConverter(entry.line.converter, entry.session);
}

FT_STATUS BenchDriver::ListCount(uint32_t& count) {
  segment_.Poll();
  count = segment_.ListedCount();
  return bus::FT_OK;
}

FT_STATUS BenchDriver::ListSerialNumber(uint32_t index, std::string& serial) {
  int converter = -1;
  if (!segment_.ListedConverter(index, converter)) return bus::FT_DEVICE_NOT_FOUND;
  serial = segment_.SerialNumber(converter);
  return bus::FT_OK;
}

FT_STATUS BenchDriver::ListDescription(uint32_t index, std::string& description) {
  int converter = -1;
  if (!segment_.ListedConverter(index, converter)) return bus::FT_DEVICE_NOT_FOUND;
  description = kDescription;
  return bus::FT_OK;
}

FT_STATUS BenchDriver::Open(uint32_t index, FT_HANDLE& handle) {
  segment_.Poll();
  int converter = -1;
  if (!segment_.ListedConverter(index, converter)) return bus::FT_DEVICE_NOT_FOUND;
  Handle entry;
  entry.line.converter = converter;
  const FT_STATUS status = segment_.OpenConverter(converter, entry.session);
  if (status != bus::FT_OK) return status;
  std::lock_guard lock(mutex_);
  handle = nextHandle_++;
  handles_[handle] = entry;
  return bus::FT_OK;
}

FT_STATUS BenchDriver::Find(FT_HANDLE handle, Handle& out) {
  {
    std::lock_guard lock(mutex_);
    auto it = handles_.find(handle);
    if (it == handles_.end()) return bus::FT_INVALID_HANDLE;
    out = it->second;
  }
  return segment_.CheckSession(out.line.converter, out.session);
}

template <typename Fn>
FT_STATUS BenchDriver::Update(FT_HANDLE handle, Fn fn) {
  Handle entry;
  const FT_STATUS status = Find(handle, entry);
  if (status != bus::FT_OK) return status;
  std::lock_guard lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) return bus::FT_INVALID_HANDLE;
  return fn(it->second.line);
}

FT_STATUS BenchDriver::SetBaudRate(FT_HANDLE handle, uint32_t baud) {
  return Update(handle, [&](LineSettings& line) {
    if (baud == 0) return bus::FT_INVALID_PARAMETER;
    line.baud = baud;
    return bus::FT_OK;
  });
}

FT_STATUS BenchDriver::SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits, uint8_t parity) {
  return Update(handle, [&](LineSettings& line) {
    const bool valid = (wordLength == 7 || wordLength == 8) &&
                       (stopBits == bus::FT_STOP_BITS_1 || stopBits == bus::FT_STOP_BITS_2) && parity <= 4;
    if (!valid) return bus::FT_INVALID_PARAMETER;
    line.wordLength = wordLength;
    line.stopBits = stopBits;
    line.parity = parity;
    return bus::FT_OK;
  });
}

FT_STATUS BenchDriver::SetFlowControl(FT_HANDLE handle, uint16_t flow, uint8_t, uint8_t) {
  return Update(handle, [&](LineSettings& line) {
    if (flow != bus::FT_FLOW_NONE && flow != bus::FT_FLOW_RTS_CTS && flow != bus::FT_FLOW_DTR_DSR &&
        flow != bus::FT_FLOW_XON_XOFF)
      return bus::FT_INVALID_PARAMETER;
    line.flow = flow;
    return bus::FT_OK;
  });
}

FT_STATUS BenchDriver::SetTimeouts(FT_HANDLE handle, uint32_t readMs, uint32_t writeMs) {
  return Update(handle, [&](LineSettings& line) {
    line.readTimeoutMs = readMs;
    line.writeTimeoutMs = writeMs;
    return bus::FT_OK;
  });
}

FT_STATUS BenchDriver::SetDtr(FT_HANDLE handle) {
  return Update(handle, [&](LineSettings& line) {
    line.dtr = true;
    return bus::FT_OK;
  });
}

FT_STATUS BenchDriver::ClrRts(FT_HANDLE handle) {
  return Update(handle, [&](LineSettings& line) {
    line.rts = false;
    return bus::FT_OK;
  });
}

FT_STATUS BenchDriver::Purge(FT_HANDLE handle, uint32_t mask) {
  Handle entry;
  FT_STATUS status = Find(handle, entry);
  if (status != bus::FT_OK) return status;
  segment_.Poll();
  return segment_.Purge(entry.line.converter, entry.session, mask);
}

FT_STATUS BenchDriver::GetQueueStatus(FT_HANDLE handle, uint32_t& rxBytes) {
  rxBytes = 0;
  Handle entry;
  FT_STATUS status = Find(handle, entry);
  if (status != bus::FT_OK) return status;
  segment_.Poll();
  return segment_.QueueStatus(entry.line.converter, entry.session, rxBytes);
}

FT_STATUS BenchDriver::Read(FT_HANDLE handle, uint8_t* buffer, uint32_t count, uint32_t& got) {
  got = 0;
  Handle entry;
  FT_STATUS status = Find(handle, entry);
  if (status != bus::FT_OK) return status;
  if (count > 0 && buffer == nullptr) return bus::FT_INVALID_PARAMETER;
  platform::Clock& clock = segment_.GetClock();
  const uint32_t t0 = clock.TickCount();
  for (;;) {
    segment_.Poll();
    uint32_t queued = 0;
    status = segment_.QueueStatus(entry.line.converter, entry.session, queued);
    if (status != bus::FT_OK) return status;  // unplugged while waiting
    if (queued >= count || platform::TicksSince(t0, clock.TickCount()) >= entry.line.readTimeoutMs)
      return segment_.Receive(entry.line.converter, entry.session, buffer, count, got);
    clock.Sleep(1);
  }
}

FT_STATUS BenchDriver::Write(FT_HANDLE handle, const uint8_t* data, uint32_t count, uint32_t& written) {
  written = 0;
  Handle entry;
  FT_STATUS status = Find(handle, entry);
  if (status != bus::FT_OK) return status;
  segment_.Poll();
  status = segment_.Transmit(entry.line.converter, entry.session, data, count);
  if (status == bus::FT_OK) written = count;
  return status;
}

FT_STATUS BenchDriver::Close(FT_HANDLE handle) {
  Handle entry;
  {
    std::lock_guard lock(mutex_);
    auto it = handles_.find(handle);
    if (it == handles_.end()) return bus::FT_INVALID_HANDLE;
    entry = it->second;
    handles_.erase(it);
  }
  // A handle whose converter was unplugged is simply released.
  segment_.CloseConverter(entry.line.converter, entry.session);
  return bus::FT_OK;
}

bool BenchDriver::Settings(FT_HANDLE handle, LineSettings& settings) {
  std::lock_guard lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) return false;
  settings = it->second.line;
  return true;
}

}  // namespace fd::sim
