// The show player meeting the engine thread in real time: frames heard on the bus are handed over
// from the engine thread while the show fires, the converter drops out and comes back, another
// program asks for state and the remote control stops the show. Built for ThreadSanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "bus/tport.h"
#include "bus/usb_port.h"
#include "devices/controls.h"
#include "platform/loop_platform.h"
#include "platform/steady_clock.h"
#include "show/common_player.h"
#include "show/operating_mode.h"
#include "sim/bench.h"
#include "sim/bench_file.h"
#include "sim/fire_audit.h"
#include "support/run_log.h"

namespace fd::show {
namespace {

constexpr const char* kBench =
    "console 3 version 151 channels 16\n"
    "console 4 version 168 channels 16 confirm A5\n"
    "remote version 0A3\n"
    "peer 77\n";

TEST(PlayerThreads, AShowWithTheEngineThreadHearsStateQueriesAConverterDropoutAndTheRemoteStop) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  support::LogLevel = 0;
  std::string error;
  auto config = sim::ParseBench(kBench, "threads.bench", error);
  ASSERT_TRUE(config) << error;
  platform::LoopPlatform host;
  sim::Bench bench(*config, host.GetClock());
  auto usb = std::make_unique<bus::TUSBPort>(bench.Driver(), host.GetClock(), 1);
  bus::TPort port(host, std::move(usb));
  devices::TControls controls(port, host);
  TCommonPlayer player(host, port, controls);
  TProjectList list;
  player.Cues = &list;
  int emergencyStops = 0;
  player.OnEmergencyStop = [&] { ++emergencyStops; };
  port.OnMessage = [&](const bus::Frame6& frame, int converter) {
    controls.HandleFrame(frame, converter);
    player.HandleBusMessage(frame);
  };
  ASSERT_TRUE(port.Open());
  ASSERT_EQ(controls.SearchListed({3, 4}), 3);

  // 40 cues over 2 s on both consoles; the remote's stop comes at about 1.53 s.
  for (int i = 0; i < 40; ++i) {
    devices::CueRecord cue;
    cue.TimeMs = 100 + i * 50;
    cue.Console = 3 + i % 2;
    cue.Channel = (i / 2) % 16;
    list.Cues().push_back(cue);
  }
  OperatingMode = omLaunch;
  const uint64_t startUs = bench.Segment().NowUs();
  // Written on the window's thread by the player's handlers, read by the fault thread.
  std::atomic<bool> playing{false};
  std::atomic<uint32_t> startTick{0};
  player.OnStateChange = [&] { playing = player.IsPlaying(); };
  std::atomic<bool> done{false};
  std::thread faults([&] {
    using namespace std::chrono_literals;
    platform::SteadyClock clock;
    while (startTick.load() == 0) std::this_thread::sleep_for(1ms);
    auto at = [&](uint32_t ms) {
      while (clock.TickCount() - startTick.load() < ms) std::this_thread::sleep_for(1ms);
    };
    // Off the cues' 50 ms grid: nothing on this bus listens before it talks, and a station that
    // talks while we fire garbles both frames. Should it happen all the same (a slow run), the
    // other program asks again and the operator presses stop again, as people do.
    at(430);
    bench.Unplug(0);
    at(630);
    bench.Replug(0);
    for (uint32_t t = 930; t < 1400 && bench.Peer(77)->StateAnswers().empty(); t += 110) {
      at(t);
      bench.PeerQuery(77, 0);
    }
    for (uint32_t t = 1530; t < 1900 && playing.load(); t += 110) {
      at(t);
      bench.RemoteStop(static_cast<int>(t));
    }
    done = true;
  });
  player.Start(0);
  startTick = player.StartTick == 0 ? 1 : player.StartTick;
  host.RunUntil([&] { return done.load() && !player.IsPlaying(); }, 10'000);
  faults.join();
  host.RunFor(200);  // let the last hand-overs in
  OperatingMode = omWait;

  EXPECT_FALSE(player.IsPlaying());
  EXPECT_EQ(emergencyStops, 1);
  EXPECT_GE(player.NextCue, 10) << "the show ran until the stop";
  EXPECT_LT(player.NextCue, 40) << "the stop came before the end";
  // The peer asked for state while the show ran: it was told ЗАПУСК.
  const auto answers = bench.Peer(77)->StateAnswers();
  ASSERT_FALSE(answers.empty());
  EXPECT_EQ(answers.back().mode, omLaunch);

  // Nothing fired that no cue asked for, whatever the dropout cost.
  std::vector<sim::PlannedFire> planned;
  for (const auto& cue : list.Cues())
    planned.push_back({0, cue.TimeMs, cue.Console, sim::FireKind::Channel, cue.Channel + 1, 0});
  const auto audit = sim::AuditFires(planned, bench.FireLog().Entries(), startUs, 0, 50, 300);
  EXPECT_TRUE(audit.unplanned.empty());
  EXPECT_GT(audit.Fired(), 5);
  port.OnMessage = nullptr;
  port.Terminate();
}

}  // namespace
}  // namespace fd::show
