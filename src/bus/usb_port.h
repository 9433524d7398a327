#pragma once

#include <cstdint>
#include <memory>

#include "bus/common_port.h"
#include "bus/converter_driver.h"
#include "bus/usb_port_ft.h"
#include "platform/clock.h"

namespace fd::bus {

// The port over the converter driver: hides how many converters there are, checks the bus echo
// of every transmission, and goes through close/open again when the engine recovers a lost
// converter. Closed until Open; Opened means at least one converter was listed.
class TUSBPort : public TCommonPort {
 public:
  TUSBPort(ConverterDriver& driver, platform::Clock& clock, int converterLimit);
  ~TUSBPort() override;
  TUSBPort(const TUSBPort&) = delete;
  TUSBPort& operator=(const TUSBPort&) = delete;

  static constexpr uint32_t kReadTimeoutMs = 20;
  static constexpr uint32_t kWriteTimeoutMs = 20;
  static constexpr uint32_t kSendGapMs = 2;      // quiet time before every transmission
  static constexpr uint32_t kEchoWindowMs = 50;  // how long the echo may take
  static constexpr int kMaxSendCount = 128;      // size of the echo buffer

  bool Open() override;
  void Close() override;
  bool Reopen() override;
  int ConverterCount() override;
  // 0 while closed; -1 when a converter's status cannot be read; else the bytes waiting.
  int BytesAvailable() override;
  int Read(uint8_t* buffer, int count, int converter) override;
  int ReadAny(uint8_t* buffer, int count, int& converter) override;
  // 1..kReadTimeoutMs; 0 restores kReadTimeoutMs.
  void LimitReadWait(uint32_t ms) override;
  // count when every byte went out and came back within the echo window with the first byte
  // unchanged; -2 otherwise (also for more than 128 bytes, refused before anything is sent);
  // -1 when not open.
  int Send(const uint8_t* data, int count, int converter) override;

  int ConverterLimit() const { return converterLimit_; }
  // The converter objects while open, nullptr while closed.
  TUSBPortFT* FT() { return ft_.get(); }

 private:
  int SendOne(int converter, const uint8_t* data, int count);

  ConverterDriver& driver_;
  platform::Clock& clock_;
  std::unique_ptr<TUSBPortFT> ft_;
  int converterLimit_;
};

}  // namespace fd::bus
