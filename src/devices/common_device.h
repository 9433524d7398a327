#pragma once

#include <cstdint>

#include "bus/tport.h"
#include "platform/platform.h"

namespace fd::devices {

// Anything that answers on the module bus. Objects are made only by the registry, which decides
// the concrete class and owns them. Every operation is one or a few exchanges of the bus engine;
// none throws, results are the engine's codes and are kept in LastResult.
//
// Virtual operations keep one order in every class: GetVersion, (Create: see device_factory.h),
// UpdateInfo, CheckLink, Poll, then from TCommonControl on ClearTests, TestChannel, Fire.
class TCommonDevice {
 public:
  TCommonDevice(bus::TPort& port, platform::Platform& platform, int id);
  virtual ~TCommonDevice() = default;
  TCommonDevice(const TCommonDevice&) = delete;
  TCommonDevice& operator=(const TCommonDevice&) = delete;

  int32_t ID = 0;           // bus address 0..255, fixed at creation
  int32_t RepeatMode = -1;  // -1: one attempt per exchange; anything else: repeated exchanges
  int32_t Converter = -1;   // converter the device answered on; -1 = all
  int32_t Version = 0;      // firmware version (0x151 for "151"); 0 after a failed request
  int32_t LastResult = 0;   // result of the latest exchange
  uint8_t Kind = 0;         // class code (device_codes.h)

  virtual int GetVersion() = 0;
  virtual void UpdateInfo();
  virtual int CheckLink();
  virtual void Poll();

  // The class name as the program knows it ("TAutoControl"); tools print it.
  virtual const char* ClassName() const = 0;

  bus::TPort& Port() const { return port_; }
  platform::Platform& Host() const { return platform_; }

 protected:
  bus::TPort& port_;
  platform::Platform& platform_;
};

}  // namespace fd::devices
