#pragma once

// The program's bus engine over a whole bench on the virtual clock: TPort over TUSBPort over the
// bench's driver. Engine passes (the background reader) run from a 1 ms platform timer, so that
// advancing the platform delivers unsolicited frames in time order without a thread.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "bus/tport.h"
#include "bus/usb_port.h"
#include "platform/virtual_platform.h"
#include "sim/bench.h"
#include "sim/bench_file.h"

namespace fd::sim::testing {

class BenchEngine : public ::testing::Test {
 protected:
  // The default bench, or the bench described by text.
  void Build(const std::string& text = "") {
    // A second Build replaces the bench: the engine over the old one goes first.
    passes.reset();
    engine.reset();
    if (text.empty()) {
      bench = Bench::LoadDefault(platform.GetClock());
    } else {
      std::string error;
      auto config = ParseBench(text, "test.bench", error);
      ASSERT_TRUE(config) << error;
      bench = std::make_unique<Bench>(*config, platform.GetClock());
    }
    ASSERT_NE(bench, nullptr);
    auto usb = std::make_unique<bus::TUSBPort>(bench->Driver(), platform.GetClock(), 1);
    ASSERT_TRUE(usb->Open());
    engine = std::make_unique<bus::TPort>(platform, std::move(usb));
    engine->OnMessage = [this](const bus::Frame6& frame, int) { messages.push_back(frame); };
    passes = platform.CreateTimer();
    passes->SetInterval(1);
    passes->OnTimer = [this] { engine->ExecutePass(); };
    passes->SetEnabled(true);
  }

  void TearDown() override {
    passes.reset();
    engine.reset();
  }

  void Advance(uint64_t ms) { platform.Advance(ms); }
  uint64_t NowUs() { return bench->Segment().NowUs(); }

  // Bench time at which the program's last transmission starting with `code` ended.
  uint64_t LastSentEndUs(uint8_t code) {
    uint64_t end = 0;
    for (const WireRecord& r : bench->Segment().WireLog())
      if (r.source == WireRecord::Source::kConverter && !r.bytes.empty() && r.bytes[0] == code) end = r.endUs;
    return end;
  }

  platform::VirtualPlatform platform;
  std::unique_ptr<Bench> bench;
  std::unique_ptr<bus::TPort> engine;
  std::unique_ptr<platform::Timer> passes;
  std::vector<bus::Frame6> messages;
};

}  // namespace fd::sim::testing
