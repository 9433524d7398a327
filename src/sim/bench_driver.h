#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "bus/converter_driver.h"
#include "sim/bus_segment.h"

namespace fd::sim {

// The converter library over a simulated segment, in the same process. List index i is the i-th
// plugged converter of the segment. One driver stands for the converter library of one program;
// two programs on one bench each get their own driver and their own converter.
//
// Read waits through the segment's clock in 1 ms steps until count bytes are there or the read
// time-out passed (with the virtual clock this moves time exactly as far as needed). Write only
// schedules the bytes on the wire and returns at once. A time-out of 0 means "do not wait".
class BenchDriver : public bus::ConverterDriver {
 public:
  explicit BenchDriver(BusSegment& segment);
  ~BenchDriver() override;

  static constexpr const char* kDescription = "Virtual RS485 bench";

  bus::FT_STATUS ListCount(uint32_t& count) override;
  bus::FT_STATUS ListSerialNumber(uint32_t index, std::string& serial) override;
  bus::FT_STATUS ListDescription(uint32_t index, std::string& description) override;

  bus::FT_STATUS Open(uint32_t index, bus::FT_HANDLE& handle) override;
  bus::FT_STATUS SetBaudRate(bus::FT_HANDLE handle, uint32_t baud) override;
  bus::FT_STATUS SetDataCharacteristics(bus::FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                        uint8_t parity) override;
  bus::FT_STATUS SetFlowControl(bus::FT_HANDLE handle, uint16_t flow, uint8_t xon, uint8_t xoff) override;
  bus::FT_STATUS SetTimeouts(bus::FT_HANDLE handle, uint32_t readMs, uint32_t writeMs) override;
  bus::FT_STATUS SetDtr(bus::FT_HANDLE handle) override;
  bus::FT_STATUS ClrRts(bus::FT_HANDLE handle) override;
  bus::FT_STATUS Purge(bus::FT_HANDLE handle, uint32_t mask) override;
  bus::FT_STATUS GetQueueStatus(bus::FT_HANDLE handle, uint32_t& rxBytes) override;
  bus::FT_STATUS Read(bus::FT_HANDLE handle, uint8_t* buffer, uint32_t count, uint32_t& got) override;
  bus::FT_STATUS Write(bus::FT_HANDLE handle, const uint8_t* data, uint32_t count, uint32_t& written) override;
  bus::FT_STATUS Close(bus::FT_HANDLE handle) override;

  // The line settings a handle was given, so that a test can see how the port set it up.
  struct LineSettings {
    int converter = -1;
    uint32_t baud = 9600;
    uint8_t wordLength = 8;
    uint8_t stopBits = bus::FT_STOP_BITS_1;
    uint8_t parity = 0;
    uint16_t flow = bus::FT_FLOW_NONE;
    uint32_t readTimeoutMs = 0;
    uint32_t writeTimeoutMs = 0;
    bool dtr = false;
    bool rts = true;
  };
  bool Settings(bus::FT_HANDLE handle, LineSettings& settings);

 private:
  struct Handle {
    uint64_t session = 0;
    LineSettings line;
  };
  // Copies the handle's state out; the handle table is not held while the segment works.
  bus::FT_STATUS Find(bus::FT_HANDLE handle, Handle& out);
  // Runs fn on the handle's entry once the segment confirmed the handle is still alive.
  template <typename Fn>
  bus::FT_STATUS Update(bus::FT_HANDLE handle, Fn fn);

  BusSegment& segment_;
  std::mutex mutex_;
  std::map<bus::FT_HANDLE, Handle> handles_;
  bus::FT_HANDLE nextHandle_ = 1;
};

}  // namespace fd::sim
