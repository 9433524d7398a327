#pragma once

#include <cstdint>
#include <string>

namespace fd::bus {

// Status codes of the converter library; 0 is success, anything else a failure.
using FT_STATUS = uint32_t;
using FT_HANDLE = uintptr_t;  // 0 = no handle

inline constexpr FT_STATUS FT_OK = 0;
inline constexpr FT_STATUS FT_INVALID_HANDLE = 1;
inline constexpr FT_STATUS FT_DEVICE_NOT_FOUND = 2;
inline constexpr FT_STATUS FT_DEVICE_NOT_OPENED = 3;
inline constexpr FT_STATUS FT_IO_ERROR = 4;
inline constexpr FT_STATUS FT_INVALID_PARAMETER = 6;
inline constexpr FT_STATUS FT_OTHER_ERROR = 18;

inline constexpr uint32_t FT_PURGE_RX = 1;
inline constexpr uint32_t FT_PURGE_TX = 2;
inline constexpr uint8_t FT_STOP_BITS_1 = 0;
inline constexpr uint8_t FT_STOP_BITS_2 = 2;
inline constexpr uint16_t FT_FLOW_NONE = 0x0000;
inline constexpr uint16_t FT_FLOW_RTS_CTS = 0x0100;
inline constexpr uint16_t FT_FLOW_DTR_DSR = 0x0200;
inline constexpr uint16_t FT_FLOW_XON_XOFF = 0x0400;

// The operations of the USB-to-RS485 converter library that the port relies on, with the same
// status codes and meaning. Listing is by index; an index stays valid until the next listing.
// Read returns when count bytes arrived or the read time-out expired, reporting how many came.
// GetQueueStatus fails once the converter is gone: that is how a lost converter is noticed.
class ConverterDriver {
 public:
  virtual ~ConverterDriver() = default;

  virtual FT_STATUS ListCount(uint32_t& count) = 0;
  virtual FT_STATUS ListSerialNumber(uint32_t index, std::string& serial) = 0;
  virtual FT_STATUS ListDescription(uint32_t index, std::string& description) = 0;

  virtual FT_STATUS Open(uint32_t index, FT_HANDLE& handle) = 0;
  virtual FT_STATUS SetBaudRate(FT_HANDLE handle, uint32_t baud) = 0;
  virtual FT_STATUS SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                           uint8_t parity) = 0;
  virtual FT_STATUS SetFlowControl(FT_HANDLE handle, uint16_t flow, uint8_t xon, uint8_t xoff) = 0;
  virtual FT_STATUS SetTimeouts(FT_HANDLE handle, uint32_t readMs, uint32_t writeMs) = 0;
  virtual FT_STATUS SetDtr(FT_HANDLE handle) = 0;
  virtual FT_STATUS ClrRts(FT_HANDLE handle) = 0;
  virtual FT_STATUS Purge(FT_HANDLE handle, uint32_t mask) = 0;
  virtual FT_STATUS GetQueueStatus(FT_HANDLE handle, uint32_t& rxBytes) = 0;
  virtual FT_STATUS Read(FT_HANDLE handle, uint8_t* buffer, uint32_t count, uint32_t& got) = 0;
  virtual FT_STATUS Write(FT_HANDLE handle, const uint8_t* data, uint32_t count, uint32_t& written) = 0;
  virtual FT_STATUS Close(FT_HANDLE handle) = 0;
};

}  // namespace fd::bus
