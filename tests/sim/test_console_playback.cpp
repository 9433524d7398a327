// Autonomous playback: a console fires its stored cues on the run broadcast, at exact bench times.

#include <gtest/gtest.h>

#include "raw_bus.h"
#include "sim/console_device.h"

namespace fd::sim {
namespace {

using testing::RawBus;

constexpr uint8_t kConsole = 7;

class Playback : public ::testing::Test {
 protected:
  ConsoleDevice& Add(int version, int channels = 16) {
    ConsoleConfig c;
    c.address = kConsole;
    c.version = version;
    c.channels = channels;
    return bus.Add<ConsoleDevice>(c, bus.log);
  }
  // A record write: time t in ms on channel number n.
  void Write(int t, int n) {
    const int T = t / 100;
    bus.Ask({0x91, static_cast<uint8_t>(T >> 8), static_cast<uint8_t>(T & 0xFF), static_cast<uint8_t>(n & 0xFF),
             static_cast<uint8_t>((n >> 8) + 16 * ((t / 10) % 10) + 2 * ((t % 10) / 2)), kConsole});
  }
  // The run (byte 3 = 0x80) or stop broadcast at show time tenths x 100 ms, sent and heard (4 ms
  // pass); returns when the frame's last byte arrived.
  uint64_t Broadcast(int tenths, bool run) {
    bus.Ask({0x90, static_cast<uint8_t>(tenths >> 8), static_cast<uint8_t>(tenths & 0xFF),
             static_cast<uint8_t>(run ? 0x80 : 0x00), 0x00, 0x00},
            4);
    return bus.sentAtUs + WireTimeUs(7);
  }
  // Lets bench time run until `us` after `from` (or not at all when that has passed).
  void WaitUntil(uint64_t from, uint64_t us) {
    const uint64_t now = bus.segment.NowUs();
    if (from + us > now) bus.Wait(static_cast<uint32_t>((from + us - now + 999) / 1000));
  }
  std::vector<uint64_t> Times(FireSource source = FireSource::Memory) {
    std::vector<uint64_t> times;
    for (const FireEntry& e : bus.log.Entries())
      if (e.source == source) times.push_back(e.timeUs);
    return times;
  }

  RawBus bus;
};

TEST_F(Playback, FiresEachStoredCueAtItsTimeAndNeverTheFiller) {
  auto& console = Add(0x168);
  Write(1000, 1);
  Write(2502, 2);
  Write(2502, 3);
  Write(6553500, 4);  // filler
  const uint64_t start = Broadcast(0, true);
  EXPECT_TRUE(console.Playing());
  bus.Wait(3000);

  const auto log = bus.log.Entries();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0], (FireEntry{kConsole, FireKind::Channel, 1, 0, 0, 0, 0, start + 1'000'000, FireSource::Memory}));
  EXPECT_EQ(log[1].timeUs, start + 2'502'000);
  EXPECT_EQ(log[1].channel, 2);
  EXPECT_EQ(log[2].timeUs, start + 2'502'000);
  EXPECT_EQ(log[2].channel, 3);
}

TEST_F(Playback, StopBroadcastEndsIt) {
  auto& console = Add(0x165);
  Write(500, 1);
  Write(1500, 2);
  const uint64_t start = Broadcast(0, true);
  bus.Wait(1000);
  Broadcast(10, false);
  EXPECT_FALSE(console.Playing());
  bus.Wait(2000);
  EXPECT_EQ(Times(), (std::vector<uint64_t>{start + 500'000}));
}

TEST_F(Playback, StartingLaterSkipsEarlierCues) {
  Add(0x165);
  Write(500, 1);
  Write(1000, 2);
  Write(2500, 3);
  const uint64_t start = Broadcast(10, true);  // the show starts at 1.0 s
  bus.Wait(2000);
  EXPECT_EQ(Times(), (std::vector<uint64_t>{start, start + 1'500'000}));
}

TEST_F(Playback, RunBroadcastsInStepKeepTheClockAndOffStepOnesMoveIt) {
  Add(0x165);
  Write(1250, 1);
  Write(3000, 2);
  Write(9000, 3);
  const uint64_t start = Broadcast(0, true);
  // A broadcast every second, as the show player sends them: T is the sender's clock cut to 100 ms,
  // so it lags by a few ms; the console keeps its own finer clock.
  WaitUntil(start, 1'012'000);
  Broadcast(10, true);
  bus.Wait(2500);
  auto times = Times();
  ASSERT_EQ(times.size(), 2u);
  EXPECT_EQ(times[0], start + 1'250'000);
  EXPECT_EQ(times[1], start + 3'000'000);

  // The sender jumps ahead to 8.5 s: the console follows, and the cue at 9.0 s comes 0.5 s later.
  const uint64_t jump = Broadcast(85, true);
  bus.Wait(1000);
  times = Times();
  ASSERT_EQ(times.size(), 3u);
  EXPECT_EQ(times[2], jump + 500'000);
}

TEST_F(Playback, AJumpForwardFiresWhatItPassedAtOnce) {
  Add(0x165);
  Write(2000, 1);
  Write(2100, 2);
  Broadcast(0, true);
  bus.Wait(100);
  const uint64_t jump = Broadcast(50, true);
  bus.Wait(10);
  EXPECT_EQ(Times(), (std::vector<uint64_t>{jump, jump}));
}

TEST_F(Playback, ARunAfterAStopStartsOverWithoutRepeatingThePast) {
  Add(0x165);
  Write(300, 1);
  Write(800, 2);
  Broadcast(0, true);
  bus.Wait(500);
  Broadcast(5, false);
  const uint64_t again = Broadcast(5, true);
  bus.Wait(1000);
  const auto times = Times();
  ASSERT_EQ(times.size(), 2u);
  EXPECT_EQ(times[1], again + 300'000);
}

TEST_F(Playback, OldestGenerationPlaysItsCells) {
  Add(0x147, 8);
  Write(1234, 5);  // kept as 1230
  Write(700, 2);
  const uint64_t start = Broadcast(0, true);
  bus.Wait(1500);
  const auto log = bus.log.Entries();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].channel, 2);
  EXPECT_EQ(log[0].timeUs, start + 700'000);
  EXPECT_EQ(log[1].channel, 5);
  EXPECT_EQ(log[1].timeUs, start + 1'230'000);
}

TEST_F(Playback, MotorConsolePlaysItsMotions) {
  ConsoleConfig c;
  c.address = kConsole;
  c.version = 0x168;
  c.channels = 9;
  c.typeLetter = 'P';
  bus.Add<ConsoleDevice>(c, bus.log);
  // L at 0.4 s with 6: 6, 0, 0x94.
  bus.Ask({0x91, 0x00, 0x04, 0x06, 0x00, kConsole});
  bus.Ask({0x91, 0x00, 0x04, 0x00, 0x01, kConsole});
  bus.Ask({0x91, 0x00, 0x04, 0x94, 0x02, kConsole});
  const uint64_t start = Broadcast(0, true);
  bus.Wait(500);
  const auto log = bus.log.Entries();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].kind, FireKind::Motion);
  EXPECT_EQ(log[0].motionCode, 0x94);
  EXPECT_EQ(log[0].x, 6);
  EXPECT_EQ(log[0].timeUs, start + 400'000);
  EXPECT_EQ(log[0].source, FireSource::Memory);
}

TEST_F(Playback, SwitchingOffEndsThePlayback) {
  auto& console = Add(0x165);
  Write(1000, 1);
  Broadcast(0, true);
  bus.Wait(200);
  bus.segment.SetDevicePowered(console, false);
  console.PowerChanged(false);
  bus.Wait(100);
  bus.segment.SetDevicePowered(console, true);
  console.PowerChanged(true);
  bus.Wait(1500);
  EXPECT_TRUE(Times().empty());
}

TEST_F(Playback, TypeLetterAnswerCarriesTheRunningClock) {
  ConsoleConfig c;
  c.address = kConsole;
  c.version = 0x168;
  bus.Add<ConsoleDevice>(c, bus.log);
  Broadcast(20, true);
  bus.Wait(1000);
  const auto reply = bus.Ask({0x89, 0, 0, 0, 0, kConsole});
  ASSERT_EQ(reply.size(), 7u);
  EXPECT_EQ(reply[1] * 256 + reply[2], 30);  // 2.0 s + about 1 s
}

}  // namespace
}  // namespace fd::sim
