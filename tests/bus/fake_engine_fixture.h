#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "bus/tport.h"
#include "fake_port.h"

namespace fd::bus::testing {

// An engine over the fake port on the virtual clock, port open, no engine thread.
class FakeEngine : public ::testing::Test {
 protected:
  explicit FakeEngine(int converters = 1) {
    auto owned = std::make_unique<FakePort>(platform.Virtual(), converters);
    port = owned.get();
    port->Open();
    engine = std::make_unique<TPort>(platform, std::move(owned));
  }

  // The frames on the wire, CRC included.
  std::vector<std::vector<uint8_t>> Wire() const {
    std::vector<std::vector<uint8_t>> out;
    for (auto& s : port->sent) out.push_back(s.bytes);
    return out;
  }
  static std::vector<uint8_t> WithCrc(const Frame6& f) {
    const BusFrame b = MakeBusFrame(f);
    return {b.begin(), b.end()};
  }
  uint64_t Now() { return platform.Virtual().Elapsed(); }

  platform::VirtualPlatform platform;
  FakePort* port = nullptr;
  std::unique_ptr<TPort> engine;
};

}  // namespace fd::bus::testing
