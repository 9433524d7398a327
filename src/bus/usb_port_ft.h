#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "bus/converter_driver.h"
#include "bus/usb_devices.h"

namespace fd::bus {

// Opens, configures and closes the listed converters and moves raw bytes. Every operation over
// all converters walks Devices in list order and ORs the driver's status codes, so the result is
// FT_OK only when every call succeeded. With no converter listed they do nothing and return FT_OK.
class TUSBPortFT {
 public:
  explicit TUSBPortFT(ConverterDriver& driver);
  ~TUSBPortFT();
  TUSBPortFT(const TUSBPortFT&) = delete;
  TUSBPortFT& operator=(const TUSBPortFT&) = delete;

  static constexpr uint32_t kBaudRate = 19200;

  uint8_t DataBits = 8;
  uint8_t StopBits = 1;
  uint8_t Parity = 0;       // driver parity code, 0 = none
  uint8_t FlowControl = 0;  // 0 none, 1 RTS/CTS, 2 DTR/DSR, 3 XON/XOFF
  uint8_t XonChar = 17;
  uint8_t XoffChar = 19;
  uint32_t ReadTimeout = 0;   // ms
  uint32_t WriteTimeout = 0;  // ms
  TUSBDevices Devices;
  int32_t MaxDevices = 1;

  // Opens each listed converter and configures the ones that opened.
  FT_STATUS OpenAll();
  FT_STATUS Configure();
  FT_STATUS PurgeRx();
  FT_STATUS PurgeTx();
  FT_STATUS SetDtr();
  FT_STATUS ClrRts();
  FT_STATUS CloseAll();
  // Adds up the bytes waiting in every converter whose status could be read.
  FT_STATUS QueueStatus(uint32_t& total);

  // Changes the read time-out of every open converter, under the lock; the driver is asked only
  // when the value changes.
  FT_STATUS SetReadTimeout(uint32_t ms);
  // Reads from one converter under the lock: returns as soon as count bytes arrived or the read
  // time-out expired. Returns the number of bytes read, 0..count; a failing call reads nothing.
  int ReadFrom(int converter, uint8_t* buffer, int count);
  // Purges the converter's receive and transmit buffers, then writes, under the lock. Returns the
  // number of bytes written. With unread given, the bytes that had arrived and were not read yet
  // are first taken out of the receive buffer and put there (up to kMaxUnread), so the purge throws
  // away nothing somebody else said on the bus: a stop broadcast can come in at any moment.
  int WriteTo(int converter, const uint8_t* data, int count, std::vector<uint8_t>* unread = nullptr);

  static constexpr size_t kMaxUnread = 4096;

  // Stop bits and flow code as the driver takes them.
  uint8_t StopBitsCode() const;
  uint16_t FlowCode() const;

  ConverterDriver& Driver() { return driver_; }
  std::mutex& Lock() { return lock_; }

 private:
  FT_STATUS ConfigureOne(FT_HANDLE handle);
  void TakeUnread(FT_HANDLE handle, std::vector<uint8_t>& unread);
  template <typename Fn>
  FT_STATUS ForEach(Fn fn);

  ConverterDriver& driver_;
  std::mutex lock_;
};

}  // namespace fd::bus
