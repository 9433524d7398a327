// Every device model through the program's own bus engine and commands: what the program asks, the
// bench answers, and the program reads what the bench file says.

#include <gtest/gtest.h>

#include "bench_engine.h"
#include "devices/channel_test_rule.h"

namespace fd::sim {
namespace {

using bus::kBusNoReply;
using bus::kBusOk;

class RoundTrip : public testing::BenchEngine {
 protected:
  void SetUp() override { Build(); }
};

TEST_F(RoundTrip, EveryConsoleOfTheDefaultBenchIdentifiesItself) {
  for (const ConsoleConfig& c : bench->Config().consoles) {
    SCOPED_TRACE(c.address);
    int version = 0;
    EXPECT_EQ(engine->ReadVersion(c.address, -1, 0, version), kBusOk);
    EXPECT_EQ(version, c.version);

    int timeMs = -1;
    char letter = 0;
    EXPECT_EQ(engine->ReadTypeLetter(c.address, -1, 0, timeMs, letter), kBusOk);
    EXPECT_EQ(letter, c.typeLetter);
    EXPECT_EQ(timeMs, 0);

    int count = 0, confirmation = 0;
    EXPECT_EQ(engine->Identify(c.address, 0, count, confirmation), kBusOk);
    EXPECT_EQ(count, c.channels);
    EXPECT_EQ(confirmation, c.confirmation ? *c.confirmation : -1);
    EXPECT_TRUE(engine->Polling);

    count = 0;
    EXPECT_EQ(engine->ReadChannelCount(c.address, -1, 0, count), kBusOk);
    EXPECT_EQ(count, c.channels);
  }
}

TEST_F(RoundTrip, StatusReadingsAndHVParameter) {
  double v1 = 0, v2 = 0;
  uint8_t bit = 0;
  EXPECT_EQ(engine->ReadStatus(2, -1, 0, v1, v2, bit), kBusOk);
  EXPECT_DOUBLE_EQ(v1, 12.1);
  EXPECT_DOUBLE_EQ(v2, 24.2);
  EXPECT_EQ(bit, 1);
  EXPECT_EQ(engine->ReadStatus(1, -1, 0, v1, v2, bit), kBusOk);
  EXPECT_EQ(bit, 0);

  EXPECT_EQ(engine->ReadHVStatus(5, -1, 0, v1, v2, bit), kBusOk);
  EXPECT_DOUBLE_EQ(v1, 310.5);
  EXPECT_DOUBLE_EQ(v2, 24.8);

  double reading = 0;
  EXPECT_EQ(engine->ReadReading(6, -1, 0, reading), kBusOk);
  EXPECT_DOUBLE_EQ(reading, -12);

  int hv = 0;
  EXPECT_EQ(engine->ReadHVParameter(5, -1, 0, hv), kBusOk);
  EXPECT_EQ(hv, 60);

  bench->Console(2)->SetStatus(3.0, 9.5, 0);
  EXPECT_EQ(engine->ReadStatus(2, -1, 0, v1, v2, bit), kBusOk);
  EXPECT_DOUBLE_EQ(v1, 3.0);
  EXPECT_DOUBLE_EQ(v2, 9.5);
  EXPECT_EQ(bit, 0);
}

TEST_F(RoundTrip, ChannelTestsReadAsTheBenchSays) {
  // Measured through the engine and judged by the program's own channel-test rule, with the extra
  // x 100 that a high-voltage console's TestChannel applies.
  for (const ConsoleConfig& c : bench->Config().consoles) {
    const bool hv = bench->Console(c.address)->IsHighVoltage();
    for (int channel = 1; channel <= c.channels; ++channel) {
      SCOPED_TRACE(::testing::Message() << "console " << c.address << " channel " << channel);
      double value = 0;
      const int r = engine->MeasureChannel(c.address, channel - 1, -1, 0, value);
      if (r == kBusOk && hv) value *= 100;
      const auto outcome = devices::ChannelTestRule(r, value, c.version);
      auto state = c.channelStates.find(channel);
      const ChannelState expected = state == c.channelStates.end() ? ChannelState::Connected : state->second;
      const uint8_t want = expected == ChannelState::Connected ? devices::kChannelConnected
                           : expected == ChannelState::Open    ? devices::kChannelOpen
                                                               : devices::kChannelError;
      EXPECT_EQ(outcome.State, want);
    }
  }
}

TEST_F(RoundTrip, FiringIsLoggedOncePerCommandHeard) {
  double value = 0;
  EXPECT_EQ(engine->FireChannel(2, 2, false, -1, 0, value), kBusOk);
  const uint64_t firstEnd = LastSentEndUs(0x84);
  EXPECT_EQ(engine->FireChannel(4, 0, false, 0xA5, 0, value), kBusOk);
  EXPECT_EQ(engine->FireChannel(6, 15, true, -1, 0, value), kBusOk);
  EXPECT_DOUBLE_EQ(value, 0.05) << "the channel's measurement, on the scale of firmware 36B";
  EXPECT_EQ(engine->FireChannelLevel(5, 3, 300, false, -1, 0), kBusOk);

  const auto log = bench->FireLog().Entries();
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[0], (FireEntry{2, FireKind::Channel, 3, 0, 0, 0, 0, firstEnd, FireSource::Direct}));
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(log[i].console, 4) << "sent three times without a reply";
  EXPECT_EQ(log[4].console, 6);
  EXPECT_EQ(log[4].channel, 16);
  EXPECT_EQ(log[5].channel, 4);
  EXPECT_EQ(log[5].level, 300);
}

TEST_F(RoundTrip, LevelHVStopAndMotion) {
  EXPECT_EQ(engine->SetLevel(5, 1, -1, 0), kBusOk);
  EXPECT_EQ(bench->Console(5)->LastLevel(), 1);
  EXPECT_EQ(engine->HVStop(5, -1, 0), kBusOk);
  EXPECT_EQ(bench->Console(5)->HVStopCount(), 1);

  EXPECT_EQ(engine->MotorCommand(7, 53, 12, 3, 0x5A, 0), kBusOk);
  const auto log = bench->FireLog().Entries();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].kind, FireKind::Motion);
  EXPECT_EQ(log[0].motionCode, 0x81);
  EXPECT_EQ(log[0].x, 3);
  EXPECT_EQ(log[0].y, 12);
  EXPECT_EQ(engine->MotorCommand(4, 50, 1, 0, -1, 0), kBusNoReply) << "console 4 has no motor";
}

TEST_F(RoundTrip, MemoryOfEveryGenerationWithItsRounding) {
  // 12345 ms on channel index 0 reads back 12340 below 165 and 12344 from 165 on.
  int t = 0, channel = -1;
  EXPECT_EQ(engine->WriteRecordNoReply(1, 0, 12345, 0), kBusOk);
  EXPECT_EQ(engine->ReadRecordTime(1, 0, -1, 0, t), kBusOk);
  EXPECT_EQ(t, 12340);

  for (int address : {2, 3}) {
    SCOPED_TRACE(address);
    engine->Identify(address, 0, t, channel);
    EXPECT_EQ(engine->WriteRecordNoReply(address, 0, 12345, 0), kBusOk);
    EXPECT_EQ(engine->WriteRecordNoReply(address, 299, 500, 0), kBusOk);
    EXPECT_EQ(engine->ReadRecord(address, 0, -1, 0, t, channel), kBusOk);
    EXPECT_EQ(t, 12340);
    EXPECT_EQ(channel, 0);
    EXPECT_EQ(engine->ReadRecord(address, 1, -1, 0, t, channel), kBusOk);
    EXPECT_EQ(t, 500);
    EXPECT_EQ(channel, 299);
  }

  for (int address : {4, 5, 6}) {
    SCOPED_TRACE(address);
    const int repeat =
        bench->Console(address)->Config().confirmation ? *bench->Console(address)->Config().confirmation : -1;
    engine->Identify(address, 0, t, channel);
    EXPECT_EQ(engine->WriteRecord(address, 0, 12345, repeat, 0), kBusOk);
    EXPECT_EQ(engine->ReadRecordFine(address, 0, repeat, 0, t, channel), kBusOk);
    EXPECT_EQ(t, 12344);
    EXPECT_EQ(channel, 0);
    EXPECT_EQ(engine->ReadRecord(address, 0, repeat, 0, t, channel), kBusOk);
    EXPECT_EQ(t, 12340);
  }

  int kind = 0, p1 = 0, p2 = 0;
  engine->Identify(7, 0, t, channel);
  EXPECT_EQ(engine->WriteMotorRecord(7, 1500, 54, 20, 7, 0x5A, 0), kBusOk);
  EXPECT_EQ(engine->WriteMotorRecord(7, 2600, 50, 9, 0, 0x5A, 0), kBusOk);
  EXPECT_EQ(engine->ReadMotorRecord(7, 1, 0x5A, 0, t, kind, p1, p2), kBusOk);
  EXPECT_EQ(t, 2600);
  EXPECT_EQ(kind, 50);
  EXPECT_EQ(p1, 9);
  EXPECT_EQ(engine->ReadMotorRecord(7, 0, 0x5A, 0, t, kind, p1, p2), kBusOk);
  EXPECT_EQ(t, 1500);
  EXPECT_EQ(kind, 54);
  EXPECT_EQ(p1, 20);
  EXPECT_EQ(p2, 7);
}

TEST_F(RoundTrip, AFullMemoryRefusesConfirmedWrites) {
  // The high-voltage console has four channels and so four records.
  int count = 0, confirmation = 0;
  engine->Identify(5, 0, count, confirmation);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(engine->WriteRecord(5, i, 1000 * i, -1, 0), kBusOk);
  EXPECT_EQ(engine->WriteRecord(5, 0, 9000, -1, 0), kBusNoReply);
  engine->Identify(5, 0, count, confirmation);
  EXPECT_EQ(engine->WriteRecord(5, 0, 9000, -1, 0), kBusOk) << "a new write sequence starts at record 0";
}

TEST_F(RoundTrip, AutonomousPlaybackFiresAtExactTimesAndStops) {
  int t = 0, c = 0;
  engine->Identify(4, 0, t, c);
  engine->WriteRecord(4, 0, 1000, -1, 0);
  engine->WriteRecord(4, 5, 2346, -1, 0);
  engine->WriteRecord(4, 6, 9000, -1, 0);
  engine->WriteRecord(4, 7, 6553500, -1, 0);
  engine->WriteRecordNoReply(1, 2, 1500, 0);

  EXPECT_EQ(engine->SyncRun(0), kBusOk);
  const uint64_t start = LastSentEndUs(0x90);
  Advance(1200);
  EXPECT_EQ(engine->SyncRun(1200), kBusOk);  // in step: changes nothing
  Advance(1500);
  EXPECT_EQ(engine->SyncStop(2700), kBusOk);
  Advance(8000);

  const auto log = bench->FireLog().Entries();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0], (FireEntry{4, FireKind::Channel, 1, 0, 0, 0, 0, start + 1'000'000, FireSource::Memory}));
  EXPECT_EQ(log[1].console, 1);
  EXPECT_EQ(log[1].channel, 3);
  EXPECT_EQ(log[1].timeUs, start + 1'500'000);
  EXPECT_EQ(log[2].channel, 6);
  EXPECT_EQ(log[2].timeUs, start + 2'346'000);
  EXPECT_FALSE(bench->Console(4)->Playing());
}

TEST_F(RoundTrip, RadioAndRemote) {
  Build("radio 240 version 105\nradio 254 version 2C1\nremote version 0A3\n");
  int version = 0;
  EXPECT_EQ(engine->ReadVersion(254, -1, 0, version), kBusOk);
  EXPECT_EQ(version, 0x2C1);
  EXPECT_EQ(engine->CheckAlive(240, 0), kBusOk);
  EXPECT_EQ(engine->CheckAlive(241, 0), kBusNoReply);
  EXPECT_EQ(engine->ReadVersion(0, -1, 0, version), kBusOk);
  EXPECT_EQ(version, 0x0A3);

  EXPECT_TRUE(bench->RemoteStop());
  Advance(20);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], (bus::Frame6{0x90, 0x00, 0x00, 0x00, 0x00, 0x00}));

  EXPECT_TRUE(bench->SetPowered(0, false));
  EXPECT_EQ(engine->ReadVersion(0, -1, 0, version), kBusNoReply);
  EXPECT_FALSE(bench->SetPowered(7, false)) << "nothing at 7";
}

TEST_F(RoundTrip, PeersAnswerQueriesAskForStateAndStopShows) {
  Build("peer 77 version 3\npeer 78 version 2 seed 5\n");
  int version = 0, instance = 0;
  EXPECT_EQ(engine->QueryPeer(78, 0, version, instance), kBusOk);
  EXPECT_EQ(version, 2);
  EXPECT_EQ(instance, 78);

  messages.clear();
  EXPECT_EQ(engine->SendPeerSweep(), kBusOk);
  Advance(300);
  std::vector<int> answered;
  for (const auto& m : messages)
    if (m[0] == 0x02 && m[4] == bus::InstanceNumber()) answered.push_back(m[3]);
  std::sort(answered.begin(), answered.end());
  EXPECT_EQ(answered, (std::vector<int>{77, 78}));

  messages.clear();
  EXPECT_TRUE(bench->PeerQuery(77, bus::InstanceNumber()));
  Advance(20);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], (bus::Frame6{0x03, 0x00, 0x00, 77, bus::InstanceNumber(), 0xFF}));
  EXPECT_EQ(engine->SendStateAnswer(1, 1, 77), kBusOk);
  Advance(5);
  const auto answers = bench->Peer(77)->StateAnswers();
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].mode, 1);
  EXPECT_EQ(answers[0].launchMode, 1);
  EXPECT_EQ(answers[0].from, bus::InstanceNumber());

  messages.clear();
  EXPECT_TRUE(bench->PeerStop(78, 12300));
  Advance(30);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], (bus::Frame6{0x90, 0x00, 123, 0x00, 0x00, 0x00}));
  EXPECT_EQ(messages[1], (bus::Frame6{0x11, 0x00, 123, 78, 0x00, 0xFF}));
  EXPECT_FALSE(bench->PeerStop(79));
}

TEST_F(RoundTrip, UnpluggedConverterAndSwitchedOffConsole) {
  int version = 0;
  EXPECT_TRUE(bench->SetPowered(3, false));
  EXPECT_EQ(engine->ReadVersion(3, -1, 0, version), kBusNoReply);
  EXPECT_TRUE(bench->SetPowered(3, true));
  EXPECT_EQ(engine->ReadVersion(3, -1, 0, version), kBusOk);

  bench->Unplug();
  EXPECT_NE(engine->ReadVersion(3, -1, 0, version), kBusOk);
  bench->Replug();
  Advance(300);  // the engine notices and reopens
  EXPECT_EQ(engine->ReadVersion(3, -1, 0, version), kBusOk);
  EXPECT_EQ(version, 0x164);
}

}  // namespace
}  // namespace fd::sim
