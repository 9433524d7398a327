#pragma once

#include <memory>

#include "bus/tport.h"
#include "devices/common_device.h"
#include "platform/platform.h"

namespace fd::devices {

// The classes the registry makes objects of.
enum class DeviceClass { None, Auto, HV, Motor, Radio, Remote, Soft };

// The virtual constructor: makes a device of the chosen class at an address (for Soft, id is the
// peer's instance number: its address is always 255). None gives no object.
std::unique_ptr<TCommonDevice> CreateDevice(DeviceClass cls, bus::TPort& port, platform::Platform& platform, int id);

// Console class from the type letter and the identified channel count, tested in this order:
// P motor; Q or R high voltage; 4 channels high voltage; anything else standard.
DeviceClass ConsoleClassFor(char letter, int channelCount);

// What the registry learns about a console address before making its object.
struct KindDecision {
  DeviceClass Class = DeviceClass::None;  // None: identification failed, make nothing
  int RepeatMode = -1;                    // the confirmation byte, or -1
};

// The kind decision for a console address 1..199 that answered a probe: the type letter, then the
// identification, single attempts on the converter that answered.
KindDecision DecideConsoleKind(bus::TPort& port, int address, int converter);

// Address ranges: consoles 1..199, radio modules 240..254.
bool IsConsoleAddress(int id);
bool IsRadioAddress(int id);

}  // namespace fd::devices
