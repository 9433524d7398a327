// The engine over the virtual bench: the port with its echo check, wire time and a scripted
// device, all on the virtual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "bench_engine_fixture.h"
#include "bus/tport_test_hook.h"
#include "noise.h"
#include "platform/virtual_platform.h"

namespace fd::bus::testing {
namespace {

using sim::ScriptedDevice;

class EngineOnBench : public ::testing::Test {
 protected:
  EngineOnBench() {
    EXPECT_TRUE(engine.Connected() || rig.port->Open());
    engine.OnFrameSent = [this](const Frame6& f) { sentEvents.push_back(f); };
    engine.OnMessage = [this](const Frame6& f, int c) { messages.push_back({f, c}); };
  }
  uint64_t Now() { return rig.platform.Virtual().Elapsed(); }
  uint64_t BenchUs() { return rig.segment.NowUs(); }

  BenchRig<platform::VirtualPlatform> rig;
  TPort& engine = *rig.engine;
  ScriptedDevice& device = rig.device;
  std::vector<Frame6> sentEvents;
  std::vector<std::pair<Frame6, int>> messages;
  const Frame6 request{0x85, 0, 0, 0, 0, 0x04};
  const Frame6 answer{0x7A, 0x01, 0x02, 0x03, 0x04, 0x04};
};

// A transmission is the 2 ms gap plus the echo of seven bytes (3.65 ms), read in 1 ms steps: 6 ms.
// An unanswered window reads one byte at a time, each read waiting at most the 20 ms read time-out
// and never past the window's end, and closes once more than 70 ms have passed: 71 ms.
constexpr uint64_t kSend = 6, kWindow = 71;

TEST_F(EngineOnBench, RepeatedExchangeWithoutAnswerTransmitsTwiceAndListensThreeTimes) {
  Frame6 reply{};
  const uint64_t before = Now();
  EXPECT_EQ(engine.Exchange(request, 0x7A, 0, 0, reply), kBusNoReply);
  EXPECT_GT(Now() - before, 2 * kSend + 3 * 70);
  EXPECT_LE(Now() - before, 2 * kSend + 3 * kWindow);
  EXPECT_EQ(sentEvents.size(), 2u);
  EXPECT_EQ(device.HeardCount(0x85), 2);
  const auto wire = rig.FromConverter();
  ASSERT_EQ(wire.size(), 2u);
  EXPECT_EQ(wire[0].bytes, ScriptedDevice::FrameBytes(request));
  EXPECT_EQ(wire[1].bytes, wire[0].bytes);
  // The second transmission follows the first listening window.
  EXPECT_GE(wire[1].startUs - wire[0].startUs, kWindow * 1000);
}

TEST_F(EngineOnBench, SingleAttemptTransmitsOnceAndListensOnce) {
  Frame6 reply{};
  const uint64_t before = Now();
  EXPECT_EQ(engine.Exchange(request, 0x7A, -1, 0, reply), kBusNoReply);
  EXPECT_EQ(Now() - before, kSend + kWindow);
  EXPECT_EQ(sentEvents.size(), 1u);
  EXPECT_EQ(device.HeardCount(0x85), 1);
}

TEST_F(EngineOnBench, AnAnsweredExchangeTakesTheReplyOffTheWire) {
  device.AddRule(ScriptedDevice::Reply(0x85, 4, answer, 1500));
  Frame6 reply{};
  const uint64_t before = Now();
  EXPECT_EQ(engine.Exchange(request, 0x7A, 0, 0, reply), kBusOk);
  EXPECT_EQ(reply, answer);
  // Gap, request, turn-around and the seven reply bytes: about 11 ms, not a window.
  EXPECT_LT(Now() - before, 15u);
  EXPECT_EQ(TPortTestHook(engine).RxCount(), 0);  // the echo is not taken for foreign traffic
}

TEST_F(EngineOnBench, ABadCrcIsATransferErrorAndIsRepeatedWhenAllowed) {
  auto garbled = ScriptedDevice::Reply(0x85, 4, answer);
  garbled.garble = true;
  garbled.times = 1;
  device.AddRule(garbled);
  device.AddRule(ScriptedDevice::Reply(0x85, 4, answer));
  Frame6 reply{};
  EXPECT_EQ(engine.Exchange(request, 0x7A, -1, 0, reply), kBusTransferError);
  EXPECT_EQ(device.HeardCount(0x85), 1);

  garbled.times = 1;
  device.ClearRules();
  device.AddRule(garbled);
  device.AddRule(ScriptedDevice::Reply(0x85, 4, answer));
  EXPECT_EQ(engine.Exchange(request, 0x7A, 0, 0, reply), kBusOk);
  EXPECT_EQ(reply, answer);
  EXPECT_EQ(device.HeardCount(0x85), 3);
}

TEST_F(EngineOnBench, ForeignFramesDuringTheHuntComeOutAsMessagesWithTheirConverter) {
  // Another console's announcement goes out just before the answer.
  const Frame6 other{0x70, 0x11, 0x22, 0x33, 0x44, 0x21};
  const auto otherBytes = ScriptedDevice::FrameBytes(other);
  ASSERT_EQ(std::count(otherBytes.begin(), otherBytes.end(), 0x7A), 0);  // none looks like the reply start
  auto rule = ScriptedDevice::Reply(0x85, 4, answer);
  rule.looseBefore = ScriptedDevice::FrameBytes(other);
  device.AddRule(rule);
  Frame6 reply{};
  EXPECT_EQ(engine.Exchange(request, 0x7A, -1, 0, reply), kBusOk);
  EXPECT_EQ(reply, answer);
  EXPECT_EQ(TPortTestHook(engine).RxBytes(), ScriptedDevice::FrameBytes(other));
  engine.ExecutePass();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, other);
  EXPECT_EQ(messages[0].second, 0);
}

TEST_F(EngineOnBench, TheBackgroundReadCollectsUnsolicitedFrames) {
  const Frame6 query{0x01, 0x00, 0x00, 0x42, 0x00, 0xFF};
  device.SpeakAt(BenchUs() + 1000, ScriptedDevice::FrameBytes(query));
  rig.platform.Advance(10);
  engine.ExecutePass();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, query);
}

// Frames that reached the converter and were not read yet when a transmission purges it: a stop
// broadcast among them is counted at the next pass and handed over like any other frame.
TEST_F(EngineOnBench, ATransmissionKeepsWhatWaitedUnreadInTheConverter) {
  const Frame6 stop{0x90, 0x00, 0x05, 0x00, 0x00, 0x00};
  const Frame6 peerStop{0x90, 0x00, 0x05, 0x00, 0x00, 0xFF};  // for operator programs: not a stop
  device.SpeakAt(BenchUs() + 1000, ScriptedDevice::FrameBytes(stop));
  device.SpeakAt(BenchUs() + 6000, ScriptedDevice::FrameBytes(peerStop));
  rig.platform.Advance(15);
  EXPECT_EQ(engine.SendFrame({0x10, 0, 0, 1, 0, 0xFF}, 0), kBusOk);
  EXPECT_EQ(engine.StopBroadcastsHeard(), 0u);
  engine.ExecutePass();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].first, stop);
  EXPECT_EQ(messages[1].first, peerStop);
  EXPECT_EQ(engine.StopBroadcastsHeard(), 1u);
}

TEST_F(EngineOnBench, StartingWithoutConverterRaisesLostOnceAndRestoredOnce) {
  // Plugs the converter back in when bench time reaches a moment, as somebody at the desk would.
  struct Plugger : sim::BusDevice {
    sim::BusSegment* segment = nullptr;
    uint64_t atUs = 0;
    void OnFrame(const BusFrame&, uint64_t, std::vector<sim::Transmission>&) override {}
    void AdvanceTo(uint64_t nowUs, std::vector<sim::Transmission>&) override {
      if (atUs != 0 && nowUs >= atUs) {
        segment->Replug(0);
        atUs = 0;
      }
    }
  } plugger;
  plugger.segment = &rig.segment;
  rig.segment.AttachDevice(plugger);

  engine.ClosePort();
  rig.segment.Unplug(0);
  plugger.atUs = BenchUs() + 450'000;
  std::vector<std::string> events;
  engine.OnConnectionLost = [&] { events.push_back("lost"); };
  engine.OnConnectionRestored = [&] { events.push_back("restored"); };
  const uint64_t before = Now();
  engine.ExecutePass();
  EXPECT_EQ(events, (std::vector<std::string>{"lost", "restored"}));
  EXPECT_TRUE(engine.Connected());
  EXPECT_GE(Now() - before, 500u);  // the reopen after the plug-in, on the 100 ms beat
  EXPECT_LT(Now() - before, 600u);
  for (int i = 0; i < 3; ++i) engine.ExecutePass();
  EXPECT_EQ(events.size(), 2u);

  // Pulling it out while open is noticed by the status read.
  rig.segment.Unplug(0);
  plugger.atUs = BenchUs() + 150'000;
  engine.ExecutePass();
  EXPECT_EQ(events, (std::vector<std::string>{"lost", "restored", "lost", "restored"}));
  Frame6 reply{};
  device.AddRule(ScriptedDevice::Reply(0x85, 4, answer));
  EXPECT_EQ(engine.Exchange(request, 0x7A, -1, 0, reply), kBusOk);
  rig.segment.DetachDevice(plugger);
}

TEST_F(EngineOnBench, AConverterHeldByAnotherProgramStaysLostUntilItCanBeOpened) {
  // Lets the converter go when bench time reaches a moment, as the other program would.
  struct Holder : sim::BusDevice {
    sim::BusSegment* segment = nullptr;
    uint64_t releaseAtUs = 0;
    void OnFrame(const BusFrame&, uint64_t, std::vector<sim::Transmission>&) override {}
    void AdvanceTo(uint64_t nowUs, std::vector<sim::Transmission>&) override {
      if (releaseAtUs != 0 && nowUs >= releaseAtUs) {
        segment->SetOpenable(0, true);
        releaseAtUs = 0;
      }
    }
  } holder;
  holder.segment = &rig.segment;
  rig.segment.AttachDevice(holder);

  // Listed but refused: the port reopens "open" each time, yet its status cannot be read.
  engine.ClosePort();
  rig.segment.SetOpenable(0, false);
  holder.releaseAtUs = BenchUs() + 450'000;
  std::vector<std::string> events;
  engine.OnConnectionLost = [&] { events.push_back("lost"); };
  engine.OnConnectionRestored = [&] { events.push_back("restored"); };
  const uint64_t before = Now();
  engine.ExecutePass();
  // One loss, then nothing until the converter is really usable again.
  EXPECT_EQ(events, (std::vector<std::string>{"lost", "restored"}));
  EXPECT_GE(Now() - before, 500u);
  EXPECT_LT(Now() - before, 600u);
  EXPECT_EQ(rig.port->BytesAvailable(), 0);
  for (int i = 0; i < 3; ++i) engine.ExecutePass();
  EXPECT_EQ(events.size(), 2u);
  Frame6 reply{};
  device.AddRule(ScriptedDevice::Reply(0x85, 4, answer));
  EXPECT_EQ(engine.Exchange(request, 0x7A, -1, 0, reply), kBusOk);
  rig.segment.DetachDevice(holder);
}

TEST_F(EngineOnBench, ExchangesWithoutConverterReportThePortClosed) {
  engine.ClosePort();
  rig.segment.Unplug(0);
  Frame6 reply{};
  int converter = 5;
  EXPECT_EQ(engine.Exchange(request, 0x7A, 0, 0, reply), kBusNotOpen);
  EXPECT_EQ(engine.ExchangeAny(request, 0x7A, converter, reply), kBusNotOpen);
  EXPECT_EQ(converter, -1);
  EXPECT_EQ(engine.SendFrame(request, -1), kBusNotOpen);
  EXPECT_FALSE(engine.Connected());
}

TEST_F(EngineOnBench, ExchangeAnyLearnsTheConverter) {
  device.AddRule(ScriptedDevice::Reply(0x80, 0x05, {0x7F, 0x00, '1', '6', '5', 0x05}));
  Frame6 reply{};
  int converter = -1;
  EXPECT_EQ(engine.ExchangeAny({0x80, 0x00, 0x01, 0x02, 0x03, 0x05}, 0x7F, converter, reply), kBusOk);
  EXPECT_EQ(converter, 0);
  converter = 3;
  EXPECT_EQ(engine.ExchangeAny({0x80, 0x00, 0x01, 0x02, 0x03, 0x06}, 0x7F, converter, reply), kBusNoReply);
  EXPECT_EQ(converter, -1);
}

// Another operator program's peer answer, 02 V 00 number asker FF, whose number is `code`; with
// crcToo the asker is chosen so that the CRC byte is `code` as well.
Frame6 PeerAnswerHolding(uint8_t code, bool crcToo) {
  for (int asker = 1; asker < 255; ++asker) {
    const Frame6 f{0x02, 0x02, 0x00, code, static_cast<uint8_t>(asker), 0xFF};
    if ((MakeBusFrame(f)[6] == code) == crcToo) return f;
  }
  return {};
}

int CountOf(const std::vector<uint8_t>& bytes, uint8_t b) {
  return static_cast<int>(std::count(bytes.begin(), bytes.end(), b));
}

TEST_F(EngineOnBench, AForeignFrameHoldingTheReplyCodeDoesNotHideTheReplyBehindIt) {
  const Frame6 version{0x7F, 0x00, '1', '6', '5', 0x05};
  const Frame6 probe{0x80, 0x00, 0x01, 0x02, 0x03, 0x05};
  for (const bool crcToo : {false, true}) {
    SCOPED_TRACE(crcToo ? "number and CRC are the reply code" : "the number is the reply code");
    const Frame6 foreign = PeerAnswerHolding(0x7F, crcToo);
    const auto foreignBytes = ScriptedDevice::FrameBytes(foreign);
    ASSERT_EQ(CountOf(foreignBytes, 0x7F), crcToo ? 2 : 1);
    device.ClearRules();
    auto rule = ScriptedDevice::Reply(0x80, 0x05, version);
    rule.looseBefore = foreignBytes;  // right before the answer, back to back
    device.AddRule(rule);
    messages.clear();

    Frame6 reply{};
    int converter = -1;
    const uint64_t before = Now();
    EXPECT_EQ(engine.ExchangeAny(probe, 0x7F, converter, reply), kBusOk);
    EXPECT_EQ(reply, version);
    EXPECT_EQ(converter, 0);
    EXPECT_LT(Now() - before, 20u) << "taken as soon as it is complete";
    // The foreign frame is whole in the receive buffer, and nothing of the reply is.
    EXPECT_EQ(TPortTestHook(engine).RxBytes(), foreignBytes);
    engine.ExecutePass();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, foreign);
    EXPECT_EQ(messages[0].second, 0);
  }

  // The same for a directed exchange on its converter: one transmission is enough.
  const Frame6 foreign = PeerAnswerHolding(0x7A, true);
  auto rule = ScriptedDevice::Reply(0x85, 4, answer);
  rule.looseBefore = ScriptedDevice::FrameBytes(foreign);
  device.ClearRules();
  device.ClearHeard();
  device.AddRule(rule);
  messages.clear();
  Frame6 reply{};
  EXPECT_EQ(engine.Exchange(request, 0x7A, 0, 0, reply), kBusOk);
  EXPECT_EQ(reply, answer);
  EXPECT_EQ(device.HeardCount(0x85), 1);
  engine.ExecutePass();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, foreign);
}

TEST_F(EngineOnBench, AGarbledReplyAloneIsATransferErrorAtTheEndOfItsWindow) {
  auto garbled = ScriptedDevice::Reply(0x85, 4, answer);
  garbled.garble = true;
  device.AddRule(garbled);
  auto garbledBytes = ScriptedDevice::FrameBytes(answer);
  garbledBytes.back() ^= 0xFF;
  ASSERT_EQ(CountOf(garbledBytes, 0x7A), 1);

  Frame6 reply{};
  uint64_t before = Now();
  EXPECT_EQ(engine.Exchange(request, 0x7A, -1, 0, reply), kBusTransferError);
  // A valid reply could still have followed, so the window runs to its end: past the reply
  // time-out, by at most the last read's 1 ms.
  EXPECT_GT(Now() - before, kSend + 70);
  EXPECT_LE(Now() - before, kSend + kWindow);
  EXPECT_EQ(device.HeardCount(0x85), 1);
  EXPECT_EQ(TPortTestHook(engine).RxBytes(), garbledBytes) << "handed on, not dropped";
  engine.ExecutePass();
  EXPECT_TRUE(messages.empty());

  // Repeated: two transmissions and three windows; the result is the last window's, so a garbled
  // frame heard in the third window makes it a transfer error too.
  device.ClearHeard();
  sentEvents.clear();
  before = Now();
  device.SpeakAt(rig.segment.Poll() + (2 * (kSend + kWindow) + 30) * 1000, garbledBytes);
  EXPECT_EQ(engine.Exchange(request, 0x7A, 0, 0, reply), kBusTransferError);
  EXPECT_GT(Now() - before, 2 * kSend + 3 * 70);
  EXPECT_LE(Now() - before, 2 * kSend + 3 * kWindow);
  EXPECT_EQ(sentEvents.size(), 2u);
  EXPECT_EQ(device.HeardCount(0x85), 2);

  // Nothing at all in the window is still no reply start.
  int converter = 3;
  before = Now();
  EXPECT_EQ(engine.ExchangeAny({0x80, 0x00, 0x01, 0x02, 0x03, 0x06}, 0x7F, converter, reply), kBusNoReply);
  EXPECT_EQ(Now() - before, kSend + kWindow);
  EXPECT_EQ(converter, -1);
}

TEST_F(EngineOnBench, AnUnansweredWindowEndsWithinOneMillisecondOfTheReplyTimeOut) {
  // Reply time-outs that are and are not multiples of the 20 ms read time-out, the longer ones
  // the device model sets for measuring and for peers, and the shortest there is.
  struct Case {
    uint32_t timeout;
    int repeatMode;
    bool any;
  } cases[] = {{70, -1, false}, {70, -1, true}, {33, -1, false}, {200, -1, false}, {300, -1, true},
               {5, -1, false},  {1, -1, false}, {70, 0, false},  {45, 0, false}};
  for (const auto& c : cases) {
    engine.ReplyTimeout = c.timeout;
    sentEvents.clear();
    std::vector<uint64_t> sentAt;
    engine.OnFrameSent = [&](const Frame6& f) {
      sentEvents.push_back(f);
      sentAt.push_back(Now());
    };
    Frame6 reply{};
    int converter = 0;
    const int r = c.any ? engine.ExchangeAny(request, 0x7A, converter, reply)
                        : engine.Exchange(request, 0x7A, c.repeatMode, 0, reply);
    const uint64_t end = Now();
    EXPECT_EQ(r, kBusNoReply) << c.timeout;
    // Windows: one per transmission, and the third after the second transmission's window.
    const size_t windows = c.repeatMode == -1 ? 1 : 3;
    ASSERT_EQ(sentEvents.size(), c.repeatMode == -1 ? 1u : 2u) << c.timeout;
    // Each window listens its whole length and ends within 1 ms after it; the port's own read
    // time-out is back once the exchange is over.
    const uint64_t listened = end - sentAt.front() - (sentAt.size() - 1) * kSend;
    EXPECT_GE(listened, windows * (c.timeout + 1)) << c.timeout;
    EXPECT_LE(listened, windows * (c.timeout + 1) + (sentAt.size() - 1)) << c.timeout;
    for (size_t k = 1; k < sentAt.size(); ++k) EXPECT_LE(sentAt[k] - sentAt[k - 1], kSend + c.timeout + 1) << c.timeout;
    EXPECT_EQ(rig.port->FT()->ReadTimeout, TUSBPort::kReadTimeoutMs) << c.timeout;
  }
}

class IdentifyOnBench : public EngineOnBench {
 protected:
  IdentifyOnBench() {
    engine.OnFrameSent = [this](const Frame6&) { pollingDuringExchange.push_back(engine.Polling.load()); };
  }
  void Console(std::vector<uint8_t> pair, bool ok = true) {
    auto rule = ScriptedDevice::Reply(0x8F, 0x0C, {0x70, static_cast<uint8_t>(ok ? 'O' : 'N'), 'k', 0x00, 0x10, 0x0C});
    rule.looseAfter = pair;
    device.ClearRules();
    device.AddRule(rule);
  }
  std::vector<bool> pollingDuringExchange;
};

TEST_F(IdentifyOnBench, ReadsTheConfirmationPair) {
  Console({0x05, 0xFA});
  int count = -1, confirmation = -5;
  const uint64_t before = Now();
  EXPECT_EQ(engine.Identify(0x0C, 0, count, confirmation), kBusOk);
  EXPECT_EQ(count, 16);
  EXPECT_EQ(confirmation, 5);
  EXPECT_GE(Now() - before, 250u);  // 50 ms before the pair, 200 ms after
  EXPECT_EQ(pollingDuringExchange, std::vector<bool>{false});
  EXPECT_TRUE(engine.Polling);
  EXPECT_EQ(rig.FromConverter().back().bytes, ScriptedDevice::FrameBytes({0x8F, 0x01, 0x02, 0x03, 0x04, 0x0C}));

  // Any converter: the pair is read from whichever has it.
  EXPECT_EQ(engine.Identify(0x0C, -1, count, confirmation), kBusOk);
  EXPECT_EQ(confirmation, 5);
}

TEST_F(IdentifyOnBench, AMissingOrBadPairIsMinusOne) {
  const std::vector<std::vector<uint8_t>> pairs = {{}, {0x05}, {0x05, 0x05}, {0x05, 0xFB}};
  for (const auto& pair : pairs) {
    Console(pair);
    int count = -1, confirmation = 99;
    EXPECT_EQ(engine.Identify(0x0C, 0, count, confirmation), kBusOk);
    EXPECT_EQ(count, 16);
    EXPECT_EQ(confirmation, -1) << pair.size();
  }
  Console({0x00, 0xFF});
  int count = -1, confirmation = 99;
  EXPECT_EQ(engine.Identify(0x0C, 0, count, confirmation), kBusOk);
  EXPECT_EQ(confirmation, 0);
}

TEST_F(IdentifyOnBench, FailureAndPollingLeftAsItWas) {
  int count = -1, confirmation = 99;
  const uint64_t before = Now();
  EXPECT_EQ(engine.Identify(0x0C, 0, count, confirmation), kBusNoReply);
  EXPECT_EQ(Now() - before, kSend + kWindow);  // one attempt, no pauses
  EXPECT_EQ(count, 0);
  EXPECT_EQ(confirmation, -1);
  EXPECT_TRUE(engine.Polling);

  Console({0x05, 0xFA}, false);
  engine.Polling = false;
  EXPECT_EQ(engine.Identify(0x0C, 0, count, confirmation), kBusOk);
  EXPECT_EQ(count, 0);  // no "Ok"
  EXPECT_EQ(confirmation, 5);
  EXPECT_FALSE(engine.Polling);
}

class ScannerOnBench : public EngineOnBench {
 protected:
  TPortTestHook hook{engine};
  void Inject(const std::vector<uint8_t>& bytes) {
    rig.segment.Inject(bytes, BenchUs());
    rig.platform.Advance(sim::WireTimeUs(bytes.size()) / 1000 + 2);
  }
};

TEST_F(ScannerOnBench, GarbageBeforeAFrameIsDroppedWithIt) {
  const Frame6 f{0x70, 'O', 'k', 0, 16, 0x21};
  std::vector<uint8_t> bytes{0x11, 0x22};
  const auto frame = ScriptedDevice::FrameBytes(f);
  bytes.insert(bytes.end(), frame.begin(), frame.end());
  bytes.push_back(0x33);
  Inject(bytes);
  engine.ExecutePass();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, f);
  EXPECT_EQ(hook.RxBytes(), std::vector<uint8_t>{0x33});
}

TEST_F(ScannerOnBench, ZeroAndFFCodesAreNotFramesAndAPassWithoutFrameKeepsSix) {
  auto bytes = ScriptedDevice::FrameBytes({0x00, 1, 2, 3, 4, 5});
  const auto ff = ScriptedDevice::FrameBytes({0xFF, 1, 2, 3, 4, 5});
  bytes.insert(bytes.end(), ff.begin(), ff.end());
  Inject(bytes);
  engine.ExecutePass();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(hook.RxBytes(), std::vector<uint8_t>(ff.begin() + 1, ff.end()));
}

TEST_F(ScannerOnBench, MoreThan128FramesWaitForTheNextPass) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 150; ++i) {
    const auto f = ScriptedDevice::FrameBytes({0x02, static_cast<uint8_t>(i), 0, 0x10, 0, 0xFF});
    bytes.insert(bytes.end(), f.begin(), f.end());
  }
  Inject(bytes);
  engine.ExecutePass();
  EXPECT_EQ(messages.size(), 128u);
  EXPECT_EQ(hook.RxCount(), 22 * 7);
  engine.ExecutePass();
  ASSERT_EQ(messages.size(), 150u);
  for (int i = 0; i < 150; ++i) EXPECT_EQ(messages[i].first[1], i);
}

TEST_F(ScannerOnBench, TheBufferNeverOverflows) {
  hook.PushReceived(std::vector<uint8_t>(TPort::kRxBufferSize - 36, 0x00), 0);
  Inject(NoiseWithoutFrames(100, 3));
  engine.ExecutePass();
  EXPECT_EQ(rig.port->BytesAvailable(), 64);  // what did not fit waits in the converter
  EXPECT_EQ(hook.RxCount(), 6);
  engine.ExecutePass();
  EXPECT_EQ(rig.port->BytesAvailable(), 0);
  EXPECT_LE(hook.RxCount(), 6);
}

}  // namespace
}  // namespace fd::bus::testing
