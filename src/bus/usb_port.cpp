#include "bus/usb_port.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace fd::bus {

TUSBPort::TUSBPort(ConverterDriver& driver, platform::Clock& clock, int converterLimit)
    : driver_(driver), clock_(clock), converterLimit_(converterLimit) {}

TUSBPort::~TUSBPort() { Close(); }

bool TUSBPort::Open() {
  // Opening again while open would leave the old handles open and the converters held: start
  // from a clean close instead.
  if (ft_) Close();
  ft_ = std::make_unique<TUSBPortFT>(driver_);
  ft_->MaxDevices = converterLimit_;
  ft_->Devices.Refresh();

  ft_->DataBits = 8;
  ft_->Parity = 0;
  ft_->StopBits = 1;
  ft_->ReadTimeout = kReadTimeoutMs;
  ft_->WriteTimeout = kWriteTimeoutMs;

  ft_->OpenAll();
  ft_->PurgeRx();
  ft_->PurgeTx();
  ft_->SetDtr();
  ft_->ClrRts();

  // A listed converter counts even when it could not be opened: the engine then sees its status
  // fail and keeps reopening.
  Opened = ft_->Devices.Count() > 0;
  if (!Opened) {
    ft_->CloseAll();
    ft_.reset();
  }
  return Opened;
}

void TUSBPort::Close() {
  if (ft_) {
    ft_->CloseAll();
    ft_.reset();
  }
  Opened = false;
}

bool TUSBPort::Reopen() {
  if (Opened) Close();
  return Open();
}

int TUSBPort::ConverterCount() { return ft_ ? ft_->Devices.Count() : 0; }

int TUSBPort::BytesAvailable() {
  if (!Opened || !ft_) return 0;
  uint32_t total = 0;
  if (ft_->QueueStatus(total) != FT_OK) return -1;
  return total > static_cast<uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(total);
}

int TUSBPort::Read(uint8_t* buffer, int count, int converter) {
  if (!Opened || !ft_) return -1;
  if (converter != -1) return ft_->ReadFrom(converter, buffer, count);
  for (int i = 0; i < ft_->Devices.Count(); ++i) {
    const int got = ft_->ReadFrom(i, buffer, count);
    if (got != 0) return got;
  }
  return 0;
}

int TUSBPort::ReadAny(uint8_t* buffer, int count, int& converter) {
  if (!Opened || !ft_) return -1;
  converter = -1;
  for (int i = 0; i < ft_->Devices.Count(); ++i) {
    const int got = ft_->ReadFrom(i, buffer, count);
    if (got == 0) continue;
    if (got > 0) converter = i;
    return got;
  }
  return 0;
}

void TUSBPort::LimitReadWait(uint32_t ms) {
  if (!Opened || !ft_) return;
  ft_->SetReadTimeout(ms == 0 ? kReadTimeoutMs : std::clamp<uint32_t>(ms, 1, kReadTimeoutMs));
}

int TUSBPort::SendOne(int converter, const uint8_t* data, int count) {
  std::vector<uint8_t> unread;
  const int written = ft_->WriteTo(converter, data, count, OnUnreadBeforeSend ? &unread : nullptr);
  if (!unread.empty()) OnUnreadBeforeSend(unread.data(), static_cast<int>(unread.size()), converter);
  if (written != count) return -2;
  // The receiver hears our own transmission on the half-duplex pair; it counts as sent only when
  // as many bytes came back within the window and the first of them is unchanged.
  uint8_t echo[kMaxSendCount];
  int got = 0;
  const uint32_t t0 = clock_.TickCount();
  do {
    const int n = ft_->ReadFrom(converter, echo + got, count - got);
    if (n > 0) got += n;
  } while (got < count && platform::TicksSince(t0, clock_.TickCount()) < kEchoWindowMs);
  return got == count && echo[0] == data[0] ? count : -2;
}

int TUSBPort::Send(const uint8_t* data, int count, int converter) {
  if (!Opened || !ft_) return -1;
  // The echo buffer holds 128 bytes; anything longer is refused before it reaches the wire.
  if (data == nullptr || count <= 0 || count > kMaxSendCount) return -2;
  int result = -2;
  clock_.Sleep(kSendGapMs);
  if (converter != -1) return SendOne(converter, data, count);
  for (int i = 0; i < ft_->Devices.Count(); ++i) result = SendOne(i, data, count);
  return result;
}

}  // namespace fd::bus
