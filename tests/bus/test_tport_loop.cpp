// The engine loop, one pass at a time on the virtual clock: background reading, the lost
// converter and its recovery, and the hand-over of messages.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>

#include "bus/tport.h"
#include "bus/tport_test_hook.h"
#include "fake_port.h"

namespace fd::bus::testing {
namespace {

// Counts hand-overs and checks, inside each, that the engine holds neither of its locks: another
// thread must be able to take them.
class WatchingPlatform : public platform::VirtualPlatform {
 public:
  void RunOnUiThread(const std::function<void()>& fn) override {
    ++handOvers;
    if (engine != nullptr) {
      auto probe = std::async(std::launch::async, [this] {
        TPortTestHook(*engine).RxCount();  // RxLock
        return engine->Connected();        // PortLock
      });
      locksFree = locksFree && probe.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
    }
    VirtualPlatform::RunOnUiThread(fn);
  }
  int handOvers = 0;
  bool locksFree = true;
  TPort* engine = nullptr;
};

class Loop : public ::testing::Test {
 protected:
  Loop() {
    auto owned = std::make_unique<FakePort>(platform.Virtual());
    port = owned.get();
    engine = std::make_unique<TPort>(platform, std::move(owned));
    platform.engine = engine.get();
    engine->OnConnectionLost = [this] { events.push_back("lost"); };
    engine->OnConnectionRestored = [this] { events.push_back("restored"); };
    engine->OnFrameReceived = [this](const Frame6& f) { events.push_back("frame " + std::to_string(f[1])); };
    engine->OnMessage = [this](const Frame6& f, int c) {
      events.push_back("message " + std::to_string(f[1]) + " from " + std::to_string(c));
    };
  }
  uint64_t Now() { return platform.Virtual().Elapsed(); }

  WatchingPlatform platform;
  FakePort* port = nullptr;
  std::unique_ptr<TPort> engine;
  std::vector<std::string> events;
};

TEST_F(Loop, StartingWithoutConverterRaisesLostOnceAndRestoredOnceWhenItAppears) {
  port->converterPresent = false;
  port->onReopen = [this] {
    if (port->reopens == 3) port->converterPresent = true;
  };
  const uint64_t before = Now();
  engine->ExecutePass();
  EXPECT_EQ(events, (std::vector<std::string>{"lost", "restored"}));
  EXPECT_EQ(port->reopens, 3);
  EXPECT_GE(Now() - before, 300u);  // one attempt every 100 ms
  EXPECT_LT(Now() - before, 400u);
  EXPECT_TRUE(engine->Connected());
  for (int i = 0; i < 5; ++i) engine->ExecutePass();
  EXPECT_EQ(events.size(), 2u);
  EXPECT_EQ(platform.handOvers, 2);
  EXPECT_TRUE(platform.locksFree);
}

TEST_F(Loop, ReopeningHoldsThePortLock) {
  // An exchange on another thread must not use converter handles while they are being replaced.
  port->converterPresent = false;
  std::vector<std::future<bool>> probes;
  bool lockedDuringReopen = true;
  port->onReopen = [&] {
    probes.push_back(std::async(std::launch::async, [this] { return engine->Connected(); }));
    lockedDuringReopen =
        lockedDuringReopen && probes.back().wait_for(std::chrono::milliseconds(50)) == std::future_status::timeout;
    if (port->reopens == 2) port->converterPresent = true;
  };
  engine->ExecutePass();
  for (auto& probe : probes) probe.get();  // each got the lock once the attempt was over
  EXPECT_EQ(port->reopens, 2);
  EXPECT_TRUE(lockedDuringReopen);
  EXPECT_EQ(events, (std::vector<std::string>{"lost", "restored"}));
}

TEST_F(Loop, TerminationBreaksOutOfTheReopenLoop) {
  port->converterPresent = false;
  port->onReopen = [this] {
    if (port->reopens == 4) engine->Terminate();
  };
  engine->ExecutePass();
  EXPECT_EQ(port->reopens, 4);
  EXPECT_EQ(events, (std::vector<std::string>{"lost"}));
  // Once told to stop, no more attempts are made.
  engine->ExecutePass();
  EXPECT_EQ(port->reopens, 4);
}

TEST_F(Loop, WithoutPollingBytesStayInTheConverterAndLossIsNotNoticed) {
  port->Open();
  port->DeliverFrame({0x70, 1, 0, 0, 0, 5});
  engine->Polling = false;
  engine->ExecutePass();
  EXPECT_EQ(port->Pending(), 7u);
  EXPECT_EQ(TPortTestHook(*engine).RxCount(), 0);
  port->converterPresent = false;
  engine->ExecutePass();
  EXPECT_TRUE(events.empty());

  port->converterPresent = true;
  engine->Polling = true;
  engine->ExecutePass();
  EXPECT_EQ(port->Pending(), 0u);
  EXPECT_EQ(events, (std::vector<std::string>{"frame 1", "message 1 from 0"}));
}

TEST_F(Loop, MessagesAreHandedOverInOrderEachAsFrameThenMessage) {
  port->Open();
  port->DeliverFrame({0x70, 1, 0, 0, 0, 5});
  port->Deliver({0x99});
  port->DeliverFrame({0x02, 2, 0, 0x10, 0, 0xFF});
  const uint64_t before = Now();
  engine->ExecutePass();
  EXPECT_EQ(events, (std::vector<std::string>{"frame 1", "message 1 from 0", "frame 2", "message 2 from 0"}));
  EXPECT_EQ(platform.handOvers, 1);  // one hand-over for the whole batch
  EXPECT_TRUE(platform.locksFree);
  EXPECT_EQ(TPortTestHook(*engine).MessageCount(), 0);
  EXPECT_EQ(Now() - before, 6u);  // two 3 ms sleeps
  // A pass with fewer than seven bytes sleeps once and hands nothing over.
  engine->ExecutePass();
  EXPECT_EQ(Now() - before, 9u);
  EXPECT_EQ(platform.handOvers, 1);
}

TEST_F(Loop, AHandlerMayRunAnExchangeDuringTheHandOver) {
  port->Open();
  port->DeliverFrame({0x01, 0, 0, 0x42, 0, 0xFF});
  int result = 1;
  engine->OnMessage = [&](const Frame6&, int converter) {
    result = engine->SendFrame({0x02, 2, 0, 1, 0x42, 0xFF}, converter);
  };
  engine->ExecutePass();
  EXPECT_EQ(result, kBusOk);
  ASSERT_EQ(port->sent.size(), 1u);
  EXPECT_EQ(port->sent[0].converter, 0);
}

}  // namespace
}  // namespace fd::bus::testing
