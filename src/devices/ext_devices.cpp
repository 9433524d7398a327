#include "devices/ext_devices.h"

#include "devices/device_codes.h"

namespace fd::devices {

int TExtDevice::GetVersion() {
  int version = 0;
  LastResult = port_.ReadVersion(ID, RepeatMode, Converter, version);
  return LastResult == bus::kBusOk ? version : 0;
}

TRadioModule::TRadioModule(bus::TPort& port, platform::Platform& platform, int id) : TExtDevice(port, platform, id) {
  Kind = kKindRadio;
}

void TRadioModule::Poll() { UpdateInfo(); }

TRemoteControl::TRemoteControl(bus::TPort& port, platform::Platform& platform, int id)
    : TExtDevice(port, platform, id) {
  Kind = kKindRemote;
}

}  // namespace fd::devices
