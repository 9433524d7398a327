#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "bus/tport.h"
#include "bus/usb_port.h"
#include "platform/platform.h"
#include "sim/bench_driver.h"
#include "sim/bus_segment.h"
#include "sim/scripted_device.h"

namespace fd::bus::testing {

// The engine as the program runs it: TPort over TUSBPort over the bench driver, on one simulated
// segment with a scripted device. The platform decides the clock (virtual or real).
template <typename PlatformType>
struct BenchRig {
  BenchRig() {
    segment.AttachDevice(device);
    auto owned = std::make_unique<TUSBPort>(driver, platform.GetClock(), 1);
    port = owned.get();
    engine = std::make_unique<TPort>(platform, std::move(owned));
  }
  ~BenchRig() {
    engine.reset();
    segment.DetachDevice(device);
  }
  std::vector<sim::WireRecord> FromConverter() {
    std::vector<sim::WireRecord> out;
    for (auto& r : segment.WireLog())
      if (r.source == sim::WireRecord::Source::kConverter) out.push_back(r);
    return out;
  }

  PlatformType platform;
  sim::ScriptedDevice device;
  sim::BusSegment segment{platform.GetClock(), 1};
  sim::BenchDriver driver{segment};
  TUSBPort* port = nullptr;
  std::unique_ptr<TPort> engine;
};

}  // namespace fd::bus::testing
