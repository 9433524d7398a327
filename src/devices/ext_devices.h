#pragma once

#include "devices/common_device.h"

namespace fd::devices {

// An additional device: it only tells its version.
class TExtDevice : public TCommonDevice {
 public:
  using TCommonDevice::TCommonDevice;
  int GetVersion() override;
  const char* ClassName() const override { return "TExtDevice"; }
};

// A radio module (addresses 240..254). Polling re-reads its version, and so its LastResult, which
// colours its indicator.
class TRadioModule : public TExtDevice {
 public:
  TRadioModule(bus::TPort& port, platform::Platform& platform, int id);
  void Poll() override;
  const char* ClassName() const override { return "TRadioModule"; }
};

// The remote control (address 0).
class TRemoteControl : public TExtDevice {
 public:
  TRemoteControl(bus::TPort& port, platform::Platform& platform, int id);
  const char* ClassName() const override { return "TRemoteControl"; }
};

}  // namespace fd::devices
