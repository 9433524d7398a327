#include "bus/usb_port_ft.h"

#include <algorithm>

namespace fd::bus {

TUSBPortFT::TUSBPortFT(ConverterDriver& driver) : Devices(*this), driver_(driver) {}

TUSBPortFT::~TUSBPortFT() = default;

template <typename Fn>
FT_STATUS TUSBPortFT::ForEach(Fn fn) {
  FT_STATUS status = FT_OK;
  for (int i = 0; i < Devices.Count(); ++i) status |= fn(*Devices.Item(i));
  return status;
}

uint8_t TUSBPortFT::StopBitsCode() const { return StopBits == 2 ? FT_STOP_BITS_2 : FT_STOP_BITS_1; }

uint16_t TUSBPortFT::FlowCode() const {
  // 0 -> 0x0000, 1 -> 0x0100, 2 -> 0x0200, 3 -> 0x0400. Codes past the 16 bits the driver takes
  // are handed over as a value no driver accepts rather than shifted out of range.
  if (FlowControl > 8) return 0xFFFF;
  return static_cast<uint16_t>(((1u << FlowControl) >> 1) << 8);
}

FT_STATUS TUSBPortFT::ConfigureOne(FT_HANDLE handle) {
  FT_STATUS status = driver_.SetBaudRate(handle, kBaudRate);
  status |= driver_.SetDataCharacteristics(handle, DataBits, StopBitsCode(), Parity);
  status |= driver_.SetFlowControl(handle, FlowCode(), XonChar, XoffChar);
  status |= driver_.SetTimeouts(handle, ReadTimeout, WriteTimeout);
  return status;
}

FT_STATUS TUSBPortFT::OpenAll() {
  return ForEach([&](ConverterInfo& info) {
    FT_HANDLE handle = 0;
    FT_STATUS status = driver_.Open(info.DeviceIndex, handle);
    if (status != FT_OK) {
      info.Handle = 0;
      return status;
    }
    info.Handle = handle;
    return ConfigureOne(handle);
  });
}

FT_STATUS TUSBPortFT::Configure() {
  return ForEach([&](ConverterInfo& info) { return ConfigureOne(info.Handle); });
}

FT_STATUS TUSBPortFT::PurgeRx() {
  return ForEach([&](ConverterInfo& info) { return driver_.Purge(info.Handle, FT_PURGE_RX); });
}

FT_STATUS TUSBPortFT::PurgeTx() {
  return ForEach([&](ConverterInfo& info) { return driver_.Purge(info.Handle, FT_PURGE_TX); });
}

FT_STATUS TUSBPortFT::SetDtr() {
  return ForEach([&](ConverterInfo& info) { return driver_.SetDtr(info.Handle); });
}

FT_STATUS TUSBPortFT::ClrRts() {
  return ForEach([&](ConverterInfo& info) { return driver_.ClrRts(info.Handle); });
}

FT_STATUS TUSBPortFT::CloseAll() {
  return ForEach([&](ConverterInfo& info) {
    const FT_STATUS status = driver_.Close(info.Handle);
    info.Handle = 0;  // a closed handle is never used again
    return status;
  });
}

FT_STATUS TUSBPortFT::QueueStatus(uint32_t& total) {
  total = 0;
  return ForEach([&](ConverterInfo& info) {
    uint32_t bytes = 0;
    const FT_STATUS status = driver_.GetQueueStatus(info.Handle, bytes);
    if (status == FT_OK) total += bytes;
    return status;
  });
}

FT_STATUS TUSBPortFT::SetReadTimeout(uint32_t ms) {
  std::lock_guard lock(lock_);
  if (ms == ReadTimeout) return FT_OK;
  ReadTimeout = ms;
  return ForEach([&](ConverterInfo& info) {
    return info.Handle == 0 ? FT_OK : driver_.SetTimeouts(info.Handle, ReadTimeout, WriteTimeout);
  });
}

int TUSBPortFT::ReadFrom(int converter, uint8_t* buffer, int count) {
  if (buffer == nullptr || count <= 0) return 0;
  std::lock_guard lock(lock_);
  const ConverterInfo* info = Devices.Item(converter);
  if (info == nullptr) return 0;
  uint32_t got = 0;
  driver_.Read(info->Handle, buffer, static_cast<uint32_t>(count), got);
  return static_cast<int>(std::min<uint32_t>(got, static_cast<uint32_t>(count)));
}

void TUSBPortFT::TakeUnread(FT_HANDLE handle, std::vector<uint8_t>& unread) {
  // Only what the queue says is there: a read of that many returns at once, never waiting out
  // the read time-out in front of a transmission.
  while (unread.size() < kMaxUnread) {
    uint32_t queued = 0;
    if (driver_.GetQueueStatus(handle, queued) != FT_OK || queued == 0) return;
    const size_t wanted = std::min<size_t>(queued, kMaxUnread - unread.size());
    const size_t at = unread.size();
    unread.resize(at + wanted);
    uint32_t got = 0;
    driver_.Read(handle, unread.data() + at, static_cast<uint32_t>(wanted), got);
    unread.resize(at + std::min<size_t>(got, wanted));
    if (got == 0) return;
  }
}

int TUSBPortFT::WriteTo(int converter, const uint8_t* data, int count, std::vector<uint8_t>* unread) {
  if (data == nullptr || count <= 0) return 0;
  std::lock_guard lock(lock_);
  const ConverterInfo* info = Devices.Item(converter);
  if (info == nullptr) return 0;
  if (unread != nullptr) TakeUnread(info->Handle, *unread);
  driver_.Purge(info->Handle, FT_PURGE_RX);
  driver_.Purge(info->Handle, FT_PURGE_TX);
  uint32_t written = 0;
  driver_.Write(info->Handle, data, static_cast<uint32_t>(count), written);
  return static_cast<int>(std::min<uint32_t>(written, static_cast<uint32_t>(count)));
}

}  // namespace fd::bus
