// The bench used from several threads at once, as the bench tool and the console's --simulate use
// it: one thread talks through the program's port, one serves the segment, one injects faults and
// reads the logs. Run under ThreadSanitizer as well.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "bus/tport.h"
#include "bus/usb_port.h"
#include "platform/loop_platform.h"
#include "sim/bench.h"
#include "sim/bench_file.h"

namespace fd::sim {
namespace {

TEST(BenchThreads, ExchangesFaultsAndLogsAtOnce) {
  platform::LoopPlatform platform;
  std::string error;
  auto config =
      ParseBench("console 2 version 151\nconsole 3 version 165\nconsole 4 version 36B\nremote\npeer 9\n", "t", error);
  ASSERT_TRUE(config) << error;
  Bench bench(*config, platform.GetClock());
  auto usb = std::make_unique<bus::TUSBPort>(bench.Driver(), platform.GetClock(), 1);
  ASSERT_TRUE(usb->Open());
  bus::TPort engine(platform, std::move(usb));

  std::atomic<bool> done{false};
  std::thread server([&] {
    while (!done) {
      bench.Segment().Poll();
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
  });
  std::thread faults([&] {
    bool on = true;
    for (int round = 0; !done; ++round) {
      on = !on;
      bench.SetPowered(3, on);
      bench.Console(4)->SetStatus(on ? 12.0 : 11.0, 24.0, on ? 1 : 0);
      bench.Console(4)->SetChannelState(2, on ? ChannelState::Open : ChannelState::Connected);
      if (round % 50 == 0) bench.RemoteStop();
      if (round % 50 == 25) bench.PeerQuery(9, 0);
      (void)bench.FireLog().Text();
      (void)bench.Console(4)->Config();
      (void)bench.Peer(9)->StateAnswers();
      std::this_thread::sleep_for(std::chrono::milliseconds(7));
    }
  });

  int versions = 0, fired = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
  while (std::chrono::steady_clock::now() < end) {
    int version = 0;
    if (engine.ReadVersion(2, -1, 0, version) == bus::kBusOk && version == 0x151) ++versions;
    double value = 0;
    if (engine.FireChannel(2, 0, true, -1, 0, value) == bus::kBusOk) ++fired;
  }
  done = true;
  server.join();
  faults.join();

  // The remote's and the peer's frames share the wire with the exchanges and may spoil a few of
  // them (a real-time test on a shared machine: the floor is low); every firing answered must be
  // in the log.
  EXPECT_GT(versions, 2);
  EXPECT_GT(fired, 2);
  int logged = 0;
  for (const FireEntry& e : bench.FireLog().Entries())
    if (e.console == 2) ++logged;
  EXPECT_GE(logged, fired);
}

}  // namespace
}  // namespace fd::sim
