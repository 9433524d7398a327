// The default bench as the program sees it: its own registry searches the bus, tests the channels,
// writes and verifies a scenario in every console, and the consoles play it back on their own.

#include <gtest/gtest.h>

#include "bench_engine.h"
#include "devices/channel_test_rule.h"
#include "devices/common_control.h"
#include "devices/controls.h"
#include "devices/device_codes.h"

namespace fd::sim {
namespace {

class DefaultBench : public testing::BenchEngine {
 protected:
  void SetUp() override {
    Build();
    controls = std::make_unique<devices::TControls>(*engine, platform);
    controls->SeedRandom(3);
    engine->OnMessage = [this](const bus::Frame6& frame, int converter) { controls->HandleFrame(frame, converter); };
    int steps = 0;
    controls->OnSearchProgress = [&steps](int, int) { ++steps; };
    controls->SetSearchMode(devices::smRegister | devices::smSweep);
    ASSERT_TRUE(platform.AdvanceUntil([&] { return steps >= 256; }, 3'600'000, 10));
    controls->SetSearchMode(devices::smNone);
    controls->OnSearchProgress = nullptr;
  }
  void TearDown() override {
    controls.reset();
    BenchEngine::TearDown();
  }

  std::unique_ptr<devices::TControls> controls;
};

TEST_F(DefaultBench, ASearchFindsEveryDeviceAsItsKind) {
  const std::map<int, uint8_t> kinds = {{1, devices::kKindAuto},  {2, devices::kKindAuto},   {3, devices::kKindAuto},
                                        {4, devices::kKindAuto},  {5, devices::kKindHV},     {6, devices::kKindAuto},
                                        {7, devices::kKindMotor}, {240, devices::kKindRadio}};
  EXPECT_EQ(controls->Count(), static_cast<int>(kinds.size()));
  for (const auto& [id, kind] : kinds) {
    SCOPED_TRACE(id);
    devices::TCommonDevice* device = controls->FindByID(id);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->Kind, kind);
    EXPECT_EQ(device->LastResult, 0);
  }
  for (const ConsoleConfig& c : bench->Config().consoles) {
    auto* console = static_cast<devices::TCommonControl*>(controls->FindByID(c.address));
    EXPECT_EQ(console->Version, c.version);
    EXPECT_EQ(console->ChannelCount, c.channels);
    EXPECT_EQ(console->TypeLetter, c.typeLetter);
    EXPECT_EQ(console->RepeatMode, c.confirmation ? *c.confirmation : -1);
  }
  EXPECT_EQ(controls->FindByID(240)->Version, 0x105);
}

TEST_F(DefaultBench, ChannelTestsShowTheBenchsChannels) {
  for (const ConsoleConfig& c : bench->Config().consoles) {
    auto* console = static_cast<devices::TCommonControl*>(controls->FindByID(c.address));
    ASSERT_NE(console, nullptr);
    for (int channel = 0; channel < c.channels; ++channel) {
      devices::TestAndRecordChannel(*console, channel);
      auto state = c.channelStates.find(channel + 1);
      const uint8_t want = state == c.channelStates.end()        ? devices::kChannelConnected
                           : state->second == ChannelState::Open ? devices::kChannelOpen
                                                                 : devices::kChannelError;
      EXPECT_EQ(console->StateOf(channel), want) << "console " << c.address << " channel " << channel + 1;
    }
  }
}

TEST_F(DefaultBench, AScenarioWrittenVerifiedAndPlayedByTheConsoles) {
  auto cue = [](int time, int console, int channel, int kind = devices::ChannelCue, int p1 = 0) {
    devices::CueRecord r;
    r.TimeMs = time;
    r.Console = console;
    r.Channel = channel;
    r.CueKind = kind;
    r.Param1 = p1;
    return r;
  };
  std::vector<devices::CueRecord> cues = {
      cue(1000, 1, 0), cue(1230, 1, 5), cue(500, 2, 1),   cue(1500, 3, 2),
      cue(1502, 4, 3), cue(800, 5, 0),  cue(2000, 6, 15), cue(2500, 7, 0, devices::MotionL, 5)};
  EXPECT_EQ(controls->WriteScenario(cues), 0);
  EXPECT_EQ(controls->VerifyScenario(cues), 0);

  bench->FireLog().Clear();
  EXPECT_EQ(engine->SyncRun(0), bus::kBusOk);
  const uint64_t start = LastSentEndUs(0x90);
  Advance(3000);
  std::map<std::pair<int, int>, uint64_t> fired;  // (console, channel or motion code) -> time
  for (const FireEntry& e : bench->FireLog().Entries()) {
    EXPECT_EQ(e.source, FireSource::Memory);
    fired[{e.console, e.kind == FireKind::Channel ? e.channel : e.motionCode}] = e.timeUs - start;
  }
  const std::map<std::pair<int, int>, uint64_t> expected = {
      {{1, 1}, 1'000'000}, {{1, 6}, 1'230'000}, {{2, 2}, 500'000},    {{3, 3}, 1'500'000},
      {{4, 4}, 1'502'000}, {{5, 1}, 800'000},   {{6, 16}, 2'000'000}, {{7, 0x94}, 2'500'000}};
  EXPECT_EQ(fired, expected);
  EXPECT_EQ(bench->FireLog().Size(), expected.size()) << "nothing else fired, filler included";
}

}  // namespace
}  // namespace fd::sim
