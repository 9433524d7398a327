#pragma once

#include <string>

#include "devices/ext_devices.h"

namespace fd::devices {

// Another operator program on the bus. All of them share the address 255 and are told apart by
// their instance number. Its Version holds the peer's software kind (its major version).
class TSoftControl : public TExtDevice {
 public:
  // The address is always 255; peerNumber is the other program's instance number.
  TSoftControl(bus::TPort& port, platform::Platform& platform, int peerNumber);

  int32_t PeerNumber = 0;
  bool Stale = false;  // has not answered since the current sweep pass began

  int GetVersion() override;
  void Poll() override;
  const char* ClassName() const override { return "TSoftControl"; }
};

// The operator text for a peer's software kind: 2 standard, 3 extended, 4 testing, 5 reserve.
std::string SoftwareKindText(int kind);

}  // namespace fd::devices
