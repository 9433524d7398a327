// The show player and the rest of the bus: autonomous runs kept in step by broadcasts, state
// queries from other operator programs, and stop broadcasts between two programs on one bench.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "player_bench.h"

namespace fd::show {
namespace {

using bus::Frame6;
using testing::FireLine;
using testing::PlayerBench;
using testing_cues::Channel;

TEST(PlayerAutonomous, ConsolesPlayFromMemoryKeptInStepEverySecond) {
  PlayerBench b;
  b.AddConsole(3, 0x165);
  b.Register({3});
  b.Load({Channel(500, 3, 1), Channel(1500, 3, 2), Channel(2600, 3, 3)});
  ASSERT_EQ(b.controls->WriteScenario(b.list.Cues()), bus::kBusOk);
  b.log.Clear();
  b.logLines.clear();
  const size_t mark = b.sent.size();

  b.player->LaunchMode = lmAutonomous;
  const uint64_t start = b.Now();
  b.player->Start(0);
  ASSERT_TRUE(b.RunUntilStopped(6000));

  std::vector<Frame6> runs;
  std::vector<uint64_t> runAt;
  for (size_t i = mark; i < b.sent.size(); ++i)
    if (b.sent[i][0] == 0x90 && b.sent[i][3] == 0x80) {
      runs.push_back(b.sent[i]);
      runAt.push_back(b.sentAt[i] - start);
    }
  EXPECT_EQ(
      runs,
      (std::vector<Frame6>{
          {0x90, 0, 0, 0x80, 0, 0}, {0x90, 0, 10, 0x80, 0, 0}, {0x90, 0, 20, 0x80, 0, 0}, {0x90, 0, 30, 0x80, 0, 0}}));
  // Each on its whole tenth of the show clock, taken when the frame has left (6 ms); without its
  // thread the engine's pass may hold the test's one thread a few ms more.
  for (size_t i = 0; i < runAt.size(); ++i) {
    EXPECT_GE(runAt[i] + 1, 1000u * i) << i;
    EXPECT_LE(runAt[i], 1000u * i + 15) << i;
  }
  // The run ends at the first tick at or past 2600 + 500, after the 500 ms wait.
  ASSERT_EQ(b.stateChanges.size(), 2u);
  EXPECT_GE(b.stateChanges[1] - start, 3600u);
  EXPECT_LT(b.stateChanges[1] - start, 3640u);
  EXPECT_EQ(b.player->Clock, 2600);
  EXPECT_TRUE(b.SentWith(0x84, mark).empty());

  const auto fired = b.log.Entries();
  ASSERT_EQ(fired.size(), 3u);
  const int channels[] = {1, 2, 3};
  const double due[] = {500, 1500, 2600};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(fired[i].source, sim::FireSource::Memory);
    EXPECT_EQ(fired[i].channel, channels[i]);
    EXPECT_NEAR(fired[i].TimeMs() - static_cast<double>(start), due[i], 20.0) << i;
  }
  EXPECT_EQ(b.FireLines(), (std::vector<std::string>{FireLine(3, 1), FireLine(3, 2), FireLine(3, 3)}));
}

// A query for everybody (0) or for us is answered with the low nibbles of the operating and launch
// modes, our number and the asker's; one for another program is left to it.
TEST(PlayerStateQuery, AnsweredWhenAddressedToAllOrToUs) {
  const uint8_t me = bus::InstanceNumber();
  const uint8_t other = static_cast<uint8_t>(me % 255 + 1);
  for (const auto& [target, answered] : {std::pair{0, true}, std::pair{int{me}, true}, std::pair{int{other}, false}}) {
    PlayerBench b;
    auto& peer = b.AddPeer(me == 77 ? 78 : 77);
    OperatingMode = 0x32;
    b.player->LaunchMode = lmAutonomous;
    peer.SendStateQuery(target);
    b.Advance(200);
    OperatingMode = omWait;
    const auto expected = answered
                              ? std::vector<Frame6>{{0x04, 0x02, 0x01, me, static_cast<uint8_t>(peer.Instance()), 0xFF}}
                              : std::vector<Frame6>{};
    EXPECT_EQ(b.SentWith(0x04), expected) << target;
    EXPECT_EQ(peer.StateAnswers().size(), answered ? 1u : 0u) << target;
  }
}

// One operator program: its own engine on its own converter, a registry and a player.
struct Program {
  Program(platform::VirtualPlatform& platform, sim::BusSegment& segment) : driver(segment), engine(platform) {
    auto usb = std::make_unique<bus::TUSBPort>(driver, platform.GetClock(), 1);
    usb->Open();
    port = std::make_unique<bus::TPort>(engine.EnginePlatform(), std::move(usb));
    engine.Attach(*port);
    controls = std::make_unique<devices::TControls>(*port, engine.RegistryPlatform());
    player = std::make_unique<TCommonPlayer>(engine.RegistryPlatform(), *port, *controls);
    player->Cues = &list;
    list.Cues() = {Channel(60000, 3, 1)};
    port->OnMessage = [this](const bus::Frame6& frame, int converter) {
      controls->HandleFrame(frame, converter);
      player->HandleBusMessage(frame);
    };
    player->OnEmergencyStop = [this] { ++emergencies; };
    player->OnStateChange = [this] { ++stateChanges; };
    engine.Start(1);
  }
  ~Program() {
    engine.Stop();
    player.reset();
    controls.reset();
  }

  sim::BenchDriver driver;
  devices::ThreadlessEngine engine;
  std::unique_ptr<bus::TPort> port;
  std::unique_ptr<devices::TControls> controls;
  TProjectList list;
  std::unique_ptr<TCommonPlayer> player;
  int emergencies = 0;
  int stateChanges = 0;
};

// Two programs on one segment, each on a converter of its own, and the remote control.
class TwoProgramsTest : public ::testing::Test {
 protected:
  TwoProgramsTest() {
    Connect();
    remote =
        &static_cast<sim::RemoteDevice&>(segment.AddDevice(std::make_unique<sim::RemoteDevice>(sim::RemoteConfig{})));
  }
  void Connect() {
    // The second program takes the second converter: it opens while the first is unlisted.
    segment.Unplug(0);
    second = std::make_unique<Program>(platform, segment);
    segment.Replug(0);
    first = std::make_unique<Program>(platform, segment);
  }
  ~TwoProgramsTest() override {
    first.reset();
    second.reset();
  }
  // Stop broadcasts (0x90 with byte 3 = 0) that crossed the wire, from anybody.
  int StopsOnWire() {
    int n = 0;
    for (const auto& r : segment.WireLog())
      if (r.bytes.size() == 7 && r.bytes[0] == 0x90 && r.bytes[3] == 0 && bus::FrameCrcMatches(r.bytes.data())) ++n;
    return n;
  }

  platform::VirtualPlatform platform;
  sim::BusSegment segment{platform.GetClock(), 2};
  std::unique_ptr<Program> second;
  std::unique_ptr<Program> first;
  sim::RemoteDevice* remote = nullptr;
};

// Ours, then the other program's answer to it (it is stopped, playing or idle, with the warning),
// and nothing after that; the operator who pressed stop is not warned about the answer.
TEST_F(TwoProgramsTest, OperatorStopIsAnsweredOnceAndTheExchangeEnds) {
  for (const bool secondPlaying : {true, false}) {
    first->player->Start(0);
    if (secondPlaying) second->player->Start(0);
    platform.Advance(1000);
    first->player->Stop(true);
    platform.Advance(10000);
    EXPECT_EQ(StopsOnWire(), 2);
    EXPECT_FALSE(second->player->IsPlaying());
    EXPECT_EQ(second->emergencies, 1);
    EXPECT_EQ(second->stateChanges, secondPlaying ? 2 : 1);
    EXPECT_EQ(first->emergencies, 0);
    EXPECT_EQ(first->stateChanges, 2);
    // A fresh pair for the next case.
    first.reset();
    second.reset();
    segment.ClearWireLog();
    Connect();
  }
}

TEST_F(TwoProgramsTest, RemoteStopStopsBothShowsAndAlarmsBothOperators) {
  first->player->Start(0);
  second->player->Start(0);
  platform.Advance(1000);
  remote->PressStop(1000);
  platform.Advance(10000);
  EXPECT_FALSE(first->player->IsPlaying());
  EXPECT_FALSE(second->player->IsPlaying());
  EXPECT_EQ(first->emergencies, 1);
  EXPECT_EQ(second->emergencies, 1);
  EXPECT_EQ(StopsOnWire(), 3);  // the remote's and one from each program

  // Pressed again later while both are stopped: both operators see it, nobody re-broadcasts.
  remote->PressStop(0);
  platform.Advance(10000);
  EXPECT_EQ(first->emergencies, 2);
  EXPECT_EQ(second->emergencies, 2);
  EXPECT_EQ(StopsOnWire(), 4);
  EXPECT_EQ(first->stateChanges, 2);

  // A new run obeys the remote again in full.
  first->player->Start(0);
  platform.Advance(500);
  remote->PressStop(0);
  platform.Advance(10000);
  EXPECT_FALSE(first->player->IsPlaying());
  EXPECT_EQ(first->emergencies, 3);
  EXPECT_EQ(StopsOnWire(), 6);
}

}  // namespace
}  // namespace fd::show
