#include "devices/device_factory.h"

#include "bus/bus_frame.h"
#include "devices/common_control.h"
#include "devices/ext_devices.h"
#include "devices/hv_control.h"
#include "devices/motor_control.h"
#include "devices/soft_control.h"

namespace fd::devices {

std::unique_ptr<TCommonDevice> CreateDevice(DeviceClass cls, bus::TPort& port, platform::Platform& platform, int id) {
  switch (cls) {
    case DeviceClass::Auto:
      return std::make_unique<TAutoControl>(port, platform, id);
    case DeviceClass::HV:
      return std::make_unique<THVControl>(port, platform, id);
    case DeviceClass::Motor:
      return std::make_unique<TMotorControl>(port, platform, id);
    case DeviceClass::Radio:
      return std::make_unique<TRadioModule>(port, platform, id);
    case DeviceClass::Remote:
      return std::make_unique<TRemoteControl>(port, platform, id);
    case DeviceClass::Soft:
      return std::make_unique<TSoftControl>(port, platform, id);
    case DeviceClass::None:
      break;
  }
  return nullptr;
}

DeviceClass ConsoleClassFor(char letter, int channelCount) {
  if (letter == 'P') return DeviceClass::Motor;
  if (letter == 'Q' || letter == 'R') return DeviceClass::HV;
  if (channelCount == 4) return DeviceClass::HV;
  return DeviceClass::Auto;
}

KindDecision DecideConsoleKind(bus::TPort& port, int address, int converter) {
  KindDecision decision;
  int timeMs = 0;
  char letter = 0;
  if (port.ReadTypeLetter(address, -1, converter, timeMs, letter) != bus::kBusOk) {
    // Older consoles do not tell a type: a standard console with single attempts.
    decision.Class = DeviceClass::Auto;
    decision.RepeatMode = -1;
    return decision;
  }
  int count = 0;
  int confirmation = -1;
  if (port.Identify(address, converter, count, confirmation) != bus::kBusOk) return decision;
  decision.Class = ConsoleClassFor(letter, count);
  decision.RepeatMode = confirmation;
  return decision;
}

bool IsConsoleAddress(int id) { return id >= bus::kFirstConsoleAddress && id <= bus::kLastConsoleAddress; }
bool IsRadioAddress(int id) { return id >= bus::kFirstRadioAddress && id <= bus::kLastRadioAddress; }

}  // namespace fd::devices
