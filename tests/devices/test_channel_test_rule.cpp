// From one channel measurement to the channel view's state and reading.
#include <gtest/gtest.h>

#include "bench_fixture.h"
#include "devices/channel_test_rule.h"
#include "devices/common_control.h"
#include "devices/hv_control.h"

namespace fd::devices {
namespace {

using testing::BusBench;

struct RuleCase {
  int result;
  double measured;
  int version;
  uint8_t state;
  bool store;
  double value;
};

TEST(ChannelTestRule, TableOfOutcomes) {
  const RuleCase cases[] = {
      // A failed exchange is an error whatever it measured.
      {-3, 9.0, 0x151, kChannelError, false, 0},
      {-2, 0.1, 0x268, kChannelError, false, 0},
      {-1, 0.1, 0x151, kChannelError, false, 0},
      // Below 268: 4.0 and more is connected, the reading is not kept.
      {0, 3.9, 0x267, kChannelOpen, false, 3.9},
      {0, 3.999, 0x151, kChannelOpen, false, 3.999},
      {0, 4.0, 0x151, kChannelConnected, false, 4.0},
      {0, 65.535, 0x147, kChannelConnected, false, 65.535},
      {0, 0.0, 0x147, kChannelOpen, false, 0.0},
      // From 268: scaled by 100 and kept; below 20 is connected.
      {0, 0.15, 0x268, kChannelConnected, true, 15.0},
      {0, 0.25, 0x268, kChannelOpen, true, 25.0},
      {0, 0.199, 0x36B, kChannelConnected, true, 19.9},
      {0, 0.2, 0x268, kChannelOpen, true, 20.0},
      {0, 0.0, 0x268, kChannelConnected, true, 0.0},
  };
  for (const RuleCase& c : cases) {
    const ChannelTestOutcome out = ChannelTestRule(c.result, c.measured, c.version);
    SCOPED_TRACE(::testing::Message() << "result " << c.result << " value " << c.measured << " version " << std::hex
                                      << c.version);
    EXPECT_EQ(out.State, c.state);
    EXPECT_EQ(out.StoreValue, c.store);
    if (c.state != kChannelError) {
      EXPECT_NEAR(out.Value, c.value, 1e-9);
    }
  }
}

TEST(ChannelTestRule, RecordsEveryChannelOfAConsoleOnTheBench) {
  BusBench bench;
  sim::ConsoleConfig config;
  config.address = 4;
  config.version = 0x151;
  config.channels = 6;
  config.channelStates[2] = sim::ChannelState::Open;
  config.channelStates[3] = sim::ChannelState::Broken;
  bench.AddConsole(config);
  auto* console = dynamic_cast<TCommonControl*>(bench.controls->Register(4, 0));
  ASSERT_NE(console, nullptr);
  console->ChannelValue[0] = 5;  // stays: below 268 readings are not written
  for (int ch = 0; ch < console->TableChannels(); ++ch) TestAndRecordChannel(*console, ch);
  const std::vector<uint8_t> states(console->ChannelState.begin(), console->ChannelState.begin() + 7);
  EXPECT_EQ(states, (std::vector<uint8_t>{1, 2, 3, 1, 1, 1, 0}));
  EXPECT_EQ(console->ChannelValue[0], 5);
  EXPECT_EQ(TestAndRecordChannel(*console, 512), kOutOfRange);
}

TEST(ChannelTestRule, HighVoltageReadingsAreScaledTwiceFrom268On) {
  BusBench bench;
  sim::ConsoleConfig config;
  config.address = 44;
  config.version = 0x268;
  config.typeLetter = 'Q';
  config.channels = 4;
  config.channelStates[2] = sim::ChannelState::Open;
  bench.AddConsole(config);
  auto* hv = dynamic_cast<THVControl*>(bench.controls->Register(44, 0));
  ASSERT_NE(hv, nullptr);
  for (int ch = 0; ch < 4; ++ch) TestAndRecordChannel(*hv, ch);
  EXPECT_EQ(hv->ChannelState[0], kChannelConnected);
  EXPECT_EQ(hv->ChannelState[1], kChannelOpen);
  EXPECT_EQ(hv->ChannelState[2], kChannelConnected);
  // What the console answered, times 100 by the class and 100 again by the rule.
  const int raw = sim::DefaultChannelValue(sim::ChannelState::Connected, true, 0x268);
  EXPECT_NEAR(hv->ChannelValue[0], raw / 1000.0 * 100 * 100, 1e-6);
  EXPECT_LT(hv->ChannelValue[0], 20.0);
  EXPECT_GE(hv->ChannelValue[1], 20.0);
}

}  // namespace
}  // namespace fd::devices
