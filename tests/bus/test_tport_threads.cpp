// The engine with its own thread on the real clock over the bench: background reading and
// hand-over, loss and recovery, exchanges from the user-interface thread while the engine reads.
// Short, and run under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "bench_engine_fixture.h"
#include "platform/loop_platform.h"

namespace fd::bus::testing {
namespace {

using sim::ScriptedDevice;

constexpr uint32_t kLimitMs = 3000;

class EngineThread : public ::testing::Test {
 protected:
  EngineThread() {
    engine.OnMessage = [this](const Frame6& f, int converter) {
      onUiThread = onUiThread && std::this_thread::get_id() == uiThread;
      messages.push_back({f, converter});
    };
    engine.OnConnectionLost = [this] {
      onUiThread = onUiThread && std::this_thread::get_id() == uiThread;
      events.push_back("lost");
    };
    engine.OnConnectionRestored = [this] {
      onUiThread = onUiThread && std::this_thread::get_id() == uiThread;
      events.push_back("restored");
    };
  }
  bool RunUntil(const std::function<bool()>& pred) { return rig.platform.RunUntil(pred, kLimitMs); }
  uint64_t SoonUs(uint64_t ms) { return rig.segment.NowUs() + ms * 1000; }

  // Touched only on the user-interface thread (this one), by the handlers. Declared before the
  // rig: the engine's shutdown may still hand a frame over, and these must outlive it.
  const std::thread::id uiThread = std::this_thread::get_id();
  std::vector<std::pair<Frame6, int>> messages;
  std::vector<std::string> events;
  bool onUiThread = true;

  BenchRig<platform::LoopPlatform> rig;
  TPort& engine = *rig.engine;
  ScriptedDevice& device = rig.device;
};

TEST_F(EngineThread, UnsolicitedFramesAreReadAndHandedOverToTheUiThread) {
  ASSERT_TRUE(engine.Open());
  const Frame6 query{0x03, 0x00, 0x00, 0x42, 0x00, 0xFF};
  const Frame6 announce{0x70, 'O', 'k', 0x00, 0x10, 0x21};
  device.SpeakAt(SoonUs(5), ScriptedDevice::FrameBytes(query));
  device.SpeakAt(SoonUs(30), ScriptedDevice::FrameBytes(announce));
  ASSERT_TRUE(RunUntil([&] { return messages.size() >= 2; }));
  EXPECT_EQ(messages[0].first, query);
  EXPECT_EQ(messages[1].first, announce);
  EXPECT_EQ(messages[0].second, 0);
  EXPECT_TRUE(onUiThread);
  EXPECT_TRUE(events.empty());
}

TEST_F(EngineThread, AnUnpluggedConverterIsLostAndRestored) {
  ASSERT_TRUE(engine.Open());
  rig.platform.RunFor(20);
  rig.segment.Unplug(0);
  ASSERT_TRUE(RunUntil([&] { return !events.empty(); }));
  EXPECT_EQ(events, std::vector<std::string>{"lost"});
  rig.platform.RunFor(250);  // several reopen attempts fail meanwhile
  EXPECT_EQ(events.size(), 1u);
  rig.segment.Replug(0);
  ASSERT_TRUE(RunUntil([&] { return events.size() >= 2; }));
  EXPECT_EQ(events, (std::vector<std::string>{"lost", "restored"}));
  EXPECT_TRUE(engine.Connected());
  EXPECT_TRUE(onUiThread);
  // And the bus works again.
  device.AddRule(ScriptedDevice::Reply(0x80, 5, {0x7F, 0x00, '1', '6', '5', 0x05}));
  int version = 0;
  EXPECT_EQ(engine.ReadVersion(5, -1, 0, version), kBusOk);
  EXPECT_EQ(version, 0x165);
}

TEST_F(EngineThread, StartingWithoutConverterAnnouncesTheLossOnceAndTheReturnOnce) {
  rig.segment.Unplug(0);
  EXPECT_FALSE(engine.Open());
  ASSERT_TRUE(RunUntil([&] { return !events.empty(); }));
  rig.platform.RunFor(150);
  rig.segment.Replug(0);
  ASSERT_TRUE(RunUntil([&] { return events.size() >= 2; }));
  rig.platform.RunFor(50);
  EXPECT_EQ(events, (std::vector<std::string>{"lost", "restored"}));
  EXPECT_TRUE(engine.Connected());
}

TEST_F(EngineThread, ExchangesFromTheUiThreadWhileTheEngineReads) {
  // Every answer is followed by another console's frame, which the engine thread must pick up.
  const Frame6 announce{0x70, 'O', 'k', 0x00, 0x10, 0x21};
  auto rule = ScriptedDevice::Reply(0x85, 4, {0x7A, 0x81, 0x00, 0x01, 0x02, 0x04});
  rule.looseAfter = ScriptedDevice::FrameBytes(announce);
  device.AddRule(rule);
  ASSERT_TRUE(engine.Open());
  for (size_t i = 0; i < 15; ++i) {
    double v1 = 0, v2 = 0;
    uint8_t bit = 0;
    ASSERT_EQ(engine.ReadHVStatus(4, 0, 0, v1, v2, bit), kBusOk) << i;
    EXPECT_DOUBLE_EQ(v1, 3302.4);
    ASSERT_TRUE(RunUntil([&] { return messages.size() >= i + 1; })) << i;
  }
  for (const auto& m : messages) EXPECT_EQ(m.first, announce);
  // Close together, only leaving the console time to finish its trailing frame (talking over it
  // would garble both): the engine thread keeps polling in between.
  for (int i = 0; i < 15; ++i) {
    double v1 = 0, v2 = 0;
    uint8_t bit = 0;
    EXPECT_EQ(engine.ReadHVStatus(4, 0, 0, v1, v2, bit), kBusOk) << i;
    rig.platform.RunFor(6);
  }
  EXPECT_TRUE(onUiThread);
}

TEST_F(EngineThread, AHandlerMayExchangeDuringTheHandOver) {
  device.AddRule(ScriptedDevice::Reply(0x80, 5, {0x7F, 0x00, '1', '4', '8', 0x05}));
  std::vector<int> versions;
  engine.OnMessage = [&](const Frame6& f, int converter) {
    int version = 0;
    if (engine.ReadVersion(f[5], -1, converter, version) == kBusOk) versions.push_back(version);
  };
  ASSERT_TRUE(engine.Open());
  device.SpeakAt(SoonUs(5), ScriptedDevice::FrameBytes({0x70, 'O', 'k', 0x00, 0x10, 0x05}));
  ASSERT_TRUE(RunUntil([&] { return !versions.empty(); }));
  EXPECT_EQ(versions, std::vector<int>{0x148});
  engine.OnMessage = nullptr;  // the handler's locals end with the test, the engine a little later
}

TEST_F(EngineThread, IdentifyKeepsTheBackgroundReaderAwayFromTheConfirmationPair) {
  auto rule = ScriptedDevice::Reply(0x8F, 0x0C, {0x70, 'O', 'k', 0x00, 0x10, 0x0C});
  rule.looseAfter = {0x05, 0xFA};
  device.AddRule(rule);
  ASSERT_TRUE(engine.Open());
  for (int i = 0; i < 4; ++i) {
    int count = 0, confirmation = 0;
    EXPECT_EQ(engine.Identify(0x0C, 0, count, confirmation), kBusOk);
    EXPECT_EQ(count, 16);
    EXPECT_EQ(confirmation, 5) << i;
    EXPECT_TRUE(engine.Polling);
    rig.platform.RunFor(5);
  }
  EXPECT_TRUE(messages.empty());
}

TEST_F(EngineThread, DestructionServesAPendingHandOverAndStops) {
  ASSERT_TRUE(engine.Open());
  device.SpeakAt(SoonUs(2), ScriptedDevice::FrameBytes({0x02, 0x02, 0x00, 0x33, 0x00, 0xFF}));
  // Without running the loop the engine thread ends up waiting in its hand-over.
  std::this_thread::sleep_for(std::chrono::milliseconds(80));
  const auto t0 = std::chrono::steady_clock::now();
  rig.engine.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
  EXPECT_EQ(messages.size(), 1u);
}

TEST_F(EngineThread, DestructionLeavesTheReopenLoop) {
  rig.segment.Unplug(0);
  EXPECT_FALSE(engine.Open());
  ASSERT_TRUE(RunUntil([&] { return !events.empty(); }));
  rig.platform.RunFor(120);
  const auto t0 = std::chrono::steady_clock::now();
  rig.engine.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
  EXPECT_EQ(events, std::vector<std::string>{"lost"});
}

}  // namespace
}  // namespace fd::bus::testing
