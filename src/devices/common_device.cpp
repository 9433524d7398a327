#include "devices/common_device.h"

#include "devices/device_codes.h"

namespace fd::devices {

TCommonDevice::TCommonDevice(bus::TPort& port, platform::Platform& platform, int id)
    : ID(id), Kind(kKindCommon), port_(port), platform_(platform) {}

void TCommonDevice::UpdateInfo() { Version = GetVersion(); }

int TCommonDevice::CheckLink() {
  // Alive check only: one attempt whatever RepeatMode says; the answer's contents are not used.
  LastResult = port_.CheckAlive(ID, Converter);
  return LastResult;
}

void TCommonDevice::Poll() {}

}  // namespace fd::devices
