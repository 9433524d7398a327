// Stops that must arrive: a converter lost in the middle of a show, the remote control's stop
// given while this program cannot hear, a stop frame waiting in the converter while a burst goes
// out, and a peer's query during a show.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <vector>

#include "player_bench.h"
#include "sim/bus_device.h"
#include "sim/scripted_device.h"

namespace fd::show {
namespace {

using testing::PlayerBench;
using testing_cues::Channel;

// Somebody at the desk: does things to the bench when its time comes (unplugs the converter,
// presses the remote's stop), in bench time, which runs on while the program waits for the link.
struct Desk : sim::BusDevice {
  struct Step {
    uint64_t atUs;
    std::function<void()> act;
  };
  std::vector<Step> steps;
  // The remote control's stop button, pressed at this bench moment (0: not at all); stopUs is
  // when its broadcast went on the wire.
  uint64_t remoteStopAtUs = 0;
  uint64_t stopUs = 0;
  void OnFrame(const bus::BusFrame&, uint64_t, std::vector<sim::Transmission>&) override {}
  void AdvanceTo(uint64_t nowUs, std::vector<sim::Transmission>& out) override {
    for (auto& step : steps)
      if (step.act && nowUs >= step.atUs) {
        auto act = std::move(step.act);
        step.act = nullptr;
        act();
      }
    if (remoteStopAtUs != 0 && stopUs == 0 && nowUs >= remoteStopAtUs) {
      stopUs = nowUs;
      sim::Transmission t;
      t.startUs = nowUs;
      t.bytes = sim::ScriptedDevice::FrameBytes(bus::Frame6{0x90, 0x00, 0x08, 0x00, 0x00, 0x00});
      out.push_back(std::move(t));
    }
  }
};

struct LossCase {
  const char* name;
  uint8_t launchMode;
  friend void PrintTo(const LossCase& c, std::ostream* os) { *os << c.name; }
};

class PlayerLinkLoss : public ::testing::TestWithParam<LossCase> {};

// Unplugged at 500 ms, the remote's stop at 800 ms, plugged back at 1300 ms: the show stops with
// the loss, no console fires after the remote's stop, and the stop frames are the first thing on
// the bus when the converter is back.
TEST_P(PlayerLinkLoss, StopsTheShowAndSendsTheStopFirstWhenTheConverterIsBack) {
  const LossCase& c = GetParam();
  PlayerBench b;
  b.AddConsole(1, 0x165);
  b.AddConsole(2, 0x165);
  b.Register({1, 2});
  std::vector<devices::CueRecord> cues;
  for (int i = 0; i < 30; ++i) cues.push_back(Channel(100 + 100 * i, 1 + i % 2, 1 + i / 2));
  b.Load(cues);
  if (c.launchMode == lmAutonomous) {
    ASSERT_EQ(b.controls->WriteScenario(b.list.Cues()), bus::kBusOk);
  }
  b.log.Clear();
  int connectionStops = 0;
  b.player->OnConnectionStop = [&] { ++connectionStops; };
  b.port->OnConnectionLost = [&] { b.player->ConnectionLost(); };

  Desk desk;
  b.segment.AttachDevice(desk);
  b.player->LaunchMode = c.launchMode;
  b.player->Start(0);
  const uint64_t startUs = b.segment.NowUs();
  desk.remoteStopAtUs = startUs + 800'000;
  desk.steps = {{startUs + 500'000, [&] { b.segment.Unplug(0); }}, {startUs + 1'300'000, [&] { b.segment.Replug(0); }}};
  size_t replugMark = 0;
  desk.steps.push_back({startUs + 1'300'000, [&] { replugMark = b.sent.size(); }});
  b.Advance(4000);

  EXPECT_FALSE(b.player->IsPlaying());
  EXPECT_EQ(connectionStops, 1);
  EXPECT_EQ(b.port->UndeliveredStops(), 0);
  ASSERT_NE(desk.stopUs, 0u);
  for (const auto& entry : b.log.Entries()) EXPECT_LT(entry.timeUs, desk.stopUs) << entry.channel;
  EXPECT_FALSE(b.log.Entries().empty()) << "the show ran until the loss";

  // At the link's return: the stop broadcast and the stop announcement, before anything else.
  ASSERT_GE(b.sent.size(), replugMark + 2);
  EXPECT_EQ(b.sent[replugMark][0], 0x90);
  EXPECT_EQ(b.sent[replugMark][3], 0x00);
  EXPECT_EQ(b.sent[replugMark + 1][0], 0x11);
  for (size_t i = replugMark; i < b.sent.size(); ++i) {
    EXPECT_NE(b.sent[i][0], 0x84) << "a fire frame after the loss";
    EXPECT_FALSE(b.sent[i][0] == 0x90 && b.sent[i][3] == 0x80) << "a run broadcast after the loss";
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, PlayerLinkLoss,
                         ::testing::Values(LossCase{"direct", lmDirect}, LossCase{"autonomous", lmAutonomous}),
                         [](const auto& info) { return std::string(info.param.name); });

// A stop the converter does not take is held, and goes out of itself once it can: at the reopen
// of a converter that was gone, or, with the converter still there but its echo not heard, at the
// engine's next try, with no other traffic to carry it.
struct KeptStopCase {
  const char* name;
  std::function<void(sim::BusSegment&)> lose, mend;
  friend void PrintTo(const KeptStopCase& c, std::ostream* os) { *os << c.name; }
};

class PlayerStopNotTaken : public ::testing::TestWithParam<KeptStopCase> {};

TEST_P(PlayerStopNotTaken, IsKeptUntilTheConverterTakesIt) {
  PlayerBench b;
  b.QuietEngine();
  b.AddConsole(1, 0x165, 'Q');
  b.Register({1});
  b.Load({Channel(60000, 1, 1)});
  b.player->Start(0);
  b.Advance(100);
  std::vector<bus::Frame6> taken;
  b.port->OnFrameTaken = [&](const bus::Frame6& frame) { taken.push_back(frame); };
  GetParam().lose(b.segment);
  b.player->Stop(true);
  EXPECT_TRUE(taken.empty()) << "the converter took nothing";
  // The broadcast, the announcement and the high-voltage console's stop.
  EXPECT_EQ(b.port->UndeliveredStops(), 3);
  b.player->Stop(true);  // pressed again: still one of each
  EXPECT_EQ(b.port->UndeliveredStops(), 3);

  GetParam().mend(b.segment);
  const size_t mark = b.sent.size();
  for (int pass = 0; pass < 100 && b.port->UndeliveredStops() > 0; ++pass) b.port->ExecutePass();
  EXPECT_EQ(b.port->UndeliveredStops(), 0);
  ASSERT_EQ(b.sent.size(), mark + 3);
  EXPECT_EQ(b.sent[mark][0], 0x90);
  EXPECT_EQ(b.sent[mark][3], 0x00);
  EXPECT_EQ(b.sent[mark + 1][0], 0x11);
  EXPECT_EQ(b.sent[mark + 2], (bus::Frame6{0x88, 0x01, 0x00, 0x01, 0x00, 0x01}));
  EXPECT_EQ(taken, (std::vector<bus::Frame6>(b.sent.begin() + static_cast<long>(mark), b.sent.end())));
}

INSTANTIATE_TEST_SUITE_P(Causes, PlayerStopNotTaken,
                         ::testing::Values(KeptStopCase{"Unplugged", [](sim::BusSegment& s) { s.Unplug(0); },
                                                        [](sim::BusSegment& s) { s.Replug(0); }},
                                           KeptStopCase{"EchoNotHeard", [](sim::BusSegment& s) { s.SetEcho(0, false); },
                                                        [](sim::BusSegment& s) { s.SetEcho(0, true); }}),
                         [](const auto& info) { return std::string(info.param.name); });

// Another operator program asks who is on the bus every 200 ms while the show fires a cue every
// 50 ms: each query is answered after its random pause, and no cue waits for that pause.
TEST(PlayerPeerQuery, TheAnswersPauseDelaysNoCue) {
  PlayerBench b;
  auto& asker = b.AddScripted();
  b.AddConsole(1, 0x165);
  b.Register({1});
  std::vector<devices::CueRecord> cues;
  for (int i = 0; i < 60; ++i) cues.push_back(Channel(50 + 50 * i, 1, 1 + i % 16));
  b.Load(cues);
  b.log.Clear();
  b.player->Start(0);
  const uint64_t startUs = b.segment.NowUs();
  constexpr int kQueries = 14;
  for (int q = 0; q < kQueries; ++q)
    asker.SpeakAt(startUs + 20'000 + 200'000 * static_cast<uint64_t>(q),
                  sim::ScriptedDevice::FrameBytes(bus::Frame6{0x01, 0x00, 0x00, 0x42, 0x00, 0xFF}));
  ASSERT_TRUE(b.RunUntilStopped(10000));

  const auto fired = b.log.Entries();
  ASSERT_EQ(fired.size(), cues.size());
  double latest = 0;
  for (size_t i = 0; i < fired.size(); ++i)
    latest = std::max(latest, static_cast<double>(fired[i].timeUs - startUs) / 1000.0 - cues[i].TimeMs);
  EXPECT_LT(latest, 25.0);
  EXPECT_GE(b.SentWith(0x02).size(), static_cast<size_t>(kQueries) - 1);
}

}  // namespace
}  // namespace fd::show
