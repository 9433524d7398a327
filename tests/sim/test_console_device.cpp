// The firing console model, spoken to in raw frames over the simulated segment.

#include <gtest/gtest.h>

#include "raw_bus.h"
#include "sim/console_device.h"

namespace fd::sim {
namespace {

using testing::RawBus;
using testing::Reply;

ConsoleConfig Console(int address, int version, int channels = 16) {
  ConsoleConfig c;
  c.address = address;
  c.version = version;
  c.channels = channels;
  return c;
}

TEST(ConsoleDevice, AnswersItsVersionAfterTheTurnAround) {
  RawBus bus;
  bus.Add<ConsoleDevice>(Console(5, 0x164), bus.log);
  bus.Add<ConsoleDevice>(Console(6, 0x151), bus.log);

  EXPECT_EQ(bus.Ask({0x80, 0x00, 0x01, 0x02, 0x03, 0x05}), Reply(0x7F, 0x00, '1', '6', '4', 0x05));
  EXPECT_TRUE(bus.echoOk);
  // 7F 00 31 36 34 05 carries the CRC 5D.
  EXPECT_EQ(Reply(0x7F, 0x00, '1', '6', '4', 0x05).back(), 0x5D);
  ASSERT_EQ(bus.DeviceStarts().size(), 1u);
  EXPECT_EQ(bus.DeviceStarts()[0], bus.sentAtUs + WireTimeUs(7) + 2000);

  EXPECT_EQ(bus.Ask({0x80, 0x00, 0x01, 0x02, 0x03, 0x06}), Reply(0x7F, 0x00, '1', '5', '1', 0x06));
  EXPECT_TRUE(bus.Ask({0x80, 0x00, 0x01, 0x02, 0x03, 0x07}).empty()) << "nobody lives at 7";
}

TEST(ConsoleDevice, VersionDigitsCoverEveryFirmwareThreshold) {
  const std::vector<std::pair<int, std::string>> versions = {
      {0x147, "147"}, {0x148, "148"}, {0x150, "150"}, {0x151, "151"}, {0x164, "164"}, {0x165, "165"},
      {0x267, "267"}, {0x268, "268"}, {0x36A, "36A"}, {0x36B, "36B"}, {0xFFF, "FFF"}};
  for (const auto& [version, digits] : versions) {
    RawBus bus;
    bus.Add<ConsoleDevice>(Console(9, version), bus.log);
    EXPECT_EQ(bus.Ask({0x80, 0x00, 0x01, 0x02, 0x03, 0x09}),
              Reply(0x7F, 0x00, static_cast<uint8_t>(digits[0]), static_cast<uint8_t>(digits[1]),
                    static_cast<uint8_t>(digits[2]), 0x09))
        << digits;
  }
}

TEST(ConsoleDevice, TurnAroundAndLatenessAreConfigurable) {
  RawBus bus;
  ConsoleConfig c = Console(3, 0x165);
  c.turnaroundUs = 5000;
  c.lateUs = 40000;
  auto& console = bus.Add<ConsoleDevice>(c, bus.log);

  EXPECT_EQ(bus.Ask({0x80, 0x00, 0x01, 0x02, 0x03, 0x03}, 60).size(), 7u);
  EXPECT_EQ(bus.DeviceStarts().back(), bus.sentAtUs + WireTimeUs(7) + 45000);

  console.SetLateUs(0);
  bus.Ask({0x80, 0x00, 0x01, 0x02, 0x03, 0x03});
  EXPECT_EQ(bus.DeviceStarts().back(), bus.sentAtUs + WireTimeUs(7) + 5000);
}

TEST(ConsoleDevice, TypeLetterOrSilence) {
  RawBus bus;
  ConsoleConfig hv = Console(10, 0x268, 4);
  hv.typeLetter = 'Q';
  ConsoleConfig mute = Console(11, 0x151);
  mute.answersTypeLetter = false;
  bus.Add<ConsoleDevice>(hv, bus.log);
  bus.Add<ConsoleDevice>(mute, bus.log);

  EXPECT_EQ(bus.Ask({0x89, 0, 0, 0, 0, 10}), Reply(0x76, 0x00, 0x00, 'Q', 0x00, 10));
  EXPECT_TRUE(bus.Ask({0x89, 0, 0, 0, 0, 11}).empty());
  // It still tells its version.
  EXPECT_EQ(bus.Ask({0x80, 0x00, 0x01, 0x02, 0x03, 11}).size(), 7u);
}

TEST(ConsoleDevice, IdentificationWithAndWithoutTheConfirmationPair) {
  RawBus bus;
  ConsoleConfig confirming = Console(20, 0x168, 300);
  confirming.confirmation = 0xA5;
  bus.Add<ConsoleDevice>(confirming, bus.log);
  bus.Add<ConsoleDevice>(Console(21, 0x151, 16), bus.log);
  ConsoleConfig zero = Console(22, 0x168, 8);
  zero.confirmation = 0x00;
  bus.Add<ConsoleDevice>(zero, bus.log);

  std::vector<uint8_t> expected = Reply(0x70, 'O', 'k', 0x01, 0x2C, 20);
  expected.push_back(0xA5);
  expected.push_back(0x5A);
  EXPECT_EQ(bus.Ask({0x8F, 0x01, 0x02, 0x03, 0x04, 20}), expected);
  EXPECT_EQ(bus.Ask({0x8F, 0x01, 0x02, 0x03, 0x04, 21}), Reply(0x70, 'O', 'k', 0x00, 0x10, 21));
  std::vector<uint8_t> zeroPair = Reply(0x70, 'O', 'k', 0x00, 0x08, 22);
  zeroPair.push_back(0x00);
  zeroPair.push_back(0xFF);
  EXPECT_EQ(bus.Ask({0x8F, 0x01, 0x02, 0x03, 0x04, 22}), zeroPair);
}

TEST(ConsoleDevice, StatusOfStandardAndHighVoltageConsoles) {
  RawBus bus;
  ConsoleConfig standard = Console(1, 0x151);
  standard.auxVoltage = 12.345;
  standard.voltage = 24.5;
  standard.statusBit = 1;
  ConsoleConfig hv = Console(2, 0x268, 4);
  hv.typeLetter = 'R';
  hv.auxVoltage = 3302.4;
  hv.voltage = 11.0;
  hv.statusBit = 0;  // a high-voltage console's top bit belongs to its value
  bus.Add<ConsoleDevice>(standard, bus.log);
  bus.Add<ConsoleDevice>(hv, bus.log);

  // 12345 = 0x3039 with the status bit on top; 24500 = 0x5FB4.
  EXPECT_EQ(bus.Ask({0x85, 0, 0, 0, 0, 1}), Reply(0x7A, 0xB0, 0x39, 0x5F, 0xB4, 1));
  // 33024 tenths = 0x8100; 11000 = 0x2AF8.
  EXPECT_EQ(bus.Ask({0x85, 0, 0, 0, 0, 2}), Reply(0x7A, 0x81, 0x00, 0x2A, 0xF8, 2));
}

TEST(ConsoleDevice, StatusCanChangeWhileRunning) {
  RawBus bus;
  auto& console = bus.Add<ConsoleDevice>(Console(1, 0x151), bus.log);
  console.SetStatus(0.5, 1.25, 0);
  EXPECT_EQ(bus.Ask({0x85, 0, 0, 0, 0, 1}), Reply(0x7A, 0x01, 0xF4, 0x04, 0xE2, 1));
}

TEST(ConsoleDevice, ReadingIsASignedTwoDigitText) {
  RawBus bus;
  ConsoleConfig c = Console(4, 0x36B);
  c.reading = -12;
  auto& console = bus.Add<ConsoleDevice>(c, bus.log);
  EXPECT_EQ(bus.Ask({0x8D, 0, 0, 0, 0, 4}), Reply(0x7F, '-', '1', '2', 0x00, 4));
  console.SetReading(7);
  EXPECT_EQ(bus.Ask({0x8D, 0, 0, 0, 0, 4}), Reply(0x7F, '+', '0', '7', 0x00, 4));
}

TEST(ConsoleDevice, HVParameterAndHVStop) {
  RawBus bus;
  ConsoleConfig c = Console(8, 0x268, 4);
  c.typeLetter = 'Q';
  c.hvParameter = 0x3C;
  auto& console = bus.Add<ConsoleDevice>(c, bus.log);
  EXPECT_EQ(bus.Ask({0x82, 0x01, 0xFD, 0x00, 0x00, 8}), Reply(0x7D, 0x01, 0xFD, 0x3C, 0x00, 8));
  EXPECT_EQ(bus.Ask({0x88, 0x01, 0x00, 0x01, 0x00, 8}), Reply(0x77, 0x01, 0x00, 0x01, 0x00, 8));
  EXPECT_EQ(console.HVStopCount(), 1);
}

// What the operator program concludes from a measurement, as its channel test does.
bool ReadsConnected(const std::vector<uint8_t>& reply, bool highVoltage, int version) {
  double value = (reply[3] * 256 + reply[4]) / 1000.0;
  if (highVoltage) value *= 100;
  if (version >= 0x268) return value * 100 < 20.0;
  return value >= 4.0;
}

TEST(ConsoleDevice, MeasurementsComeOutRightForEveryKindAndGeneration) {
  struct Case {
    int version;
    char letter;
    int channels;
    bool highVoltage;
  };
  const Case cases[] = {{0x147, 'S', 16, false}, {0x164, 'S', 16, false}, {0x267, 'S', 16, false},
                        {0x268, 'S', 16, false}, {0x36B, 'S', 16, false}, {0x168, 'P', 4, false},
                        {0x151, 'Q', 8, true},   {0x267, 'R', 8, true},   {0x268, 'Q', 4, true},
                        {0x36B, 'S', 4, true},   {0x36B, 'R', 12, true}};
  for (const Case& k : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << k.version << " " << k.letter << " " << std::dec << k.channels);
    RawBus bus;
    ConsoleConfig c = Console(30, k.version, k.channels);
    c.typeLetter = k.letter;
    c.channelStates[2] = ChannelState::Open;
    c.channelStates[3] = ChannelState::Broken;
    auto& console = bus.Add<ConsoleDevice>(c, bus.log);
    EXPECT_EQ(console.IsHighVoltage(), k.highVoltage);

    auto connected = bus.Ask({0x83, 0x01, 0x00, 0x00, 0x00, 30});
    ASSERT_EQ(connected.size(), 7u);
    EXPECT_EQ(connected[0], 0x7C);
    EXPECT_EQ(connected[1], 0x01);
    EXPECT_TRUE(ReadsConnected(connected, k.highVoltage, k.version));

    auto open = bus.Ask({0x83, 0x02, 0x00, 0x00, 0x00, 30});
    ASSERT_EQ(open.size(), 7u);
    EXPECT_FALSE(ReadsConnected(open, k.highVoltage, k.version));

    EXPECT_TRUE(bus.Ask({0x83, 0x03, 0x00, 0x00, 0x00, 30}).empty()) << "broken: no answer";
  }
}

TEST(ConsoleDevice, MeasurementOverridesAndChannelsBeyondTheConsole) {
  RawBus bus;
  ConsoleConfig c = Console(31, 0x268, 300);
  c.channelValues[260] = 1234;
  auto& console = bus.Add<ConsoleDevice>(c, bus.log);
  // Channel 260 = 0x104, little-endian.
  EXPECT_EQ(bus.Ask({0x83, 0x04, 0x01, 0x00, 0x00, 31}), Reply(0x7C, 0x04, 0x01, 0x04, 0xD2, 31));
  EXPECT_TRUE(bus.Ask({0x83, 0x2D, 0x01, 0x00, 0x00, 31}).empty()) << "channel 301 does not exist";
  EXPECT_TRUE(bus.Ask({0x83, 0x00, 0x00, 0x00, 0x00, 31}).empty()) << "there is no channel 0";

  console.SetChannelState(5, ChannelState::Broken);
  EXPECT_TRUE(bus.Ask({0x83, 0x05, 0x00, 0x00, 0x00, 31}).empty());
  console.SetChannelState(5, ChannelState::Connected);
  EXPECT_EQ(bus.Ask({0x83, 0x05, 0x00, 0x00, 0x00, 31}).size(), 7u);
}

TEST(ConsoleDevice, FiringIsLoggedWithItsTimeAndAnsweredOnlyWhenAsked) {
  RawBus bus;
  auto& console = bus.Add<ConsoleDevice>(Console(12, 0x165), bus.log);

  EXPECT_TRUE(bus.Ask({0x84, 0x03, 0x00, 0x80, 0x00, 12}).empty());
  const uint64_t firstEnd = bus.sentAtUs + WireTimeUs(7);
  // With the reply bit: 7B with the channel's measurement (5.0 below 268 = 5000 = 0x1388).
  EXPECT_EQ(bus.Ask({0x84, 0x04, 0x00, 0x80, 0x80, 12}), Reply(0x7B, 0x04, 0x00, 0x13, 0x88, 12));
  // Level 300: 0x80 + 2, 0x2C.
  EXPECT_TRUE(bus.Ask({0x84, 0x05, 0x00, 0x82, 0x2C, 12}).empty());
  // Channel 17 does not exist on a 16-channel console: nothing fires.
  EXPECT_TRUE(bus.Ask({0x84, 0x11, 0x00, 0x80, 0x80, 12}).empty());

  const auto log = bus.log.Entries();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0], (FireEntry{12, FireKind::Channel, 3, 0, 0, 0, 0, firstEnd, FireSource::Direct}));
  EXPECT_EQ(log[1].channel, 4);
  EXPECT_EQ(log[2].channel, 5);
  EXPECT_EQ(log[2].level, 300);
  EXPECT_EQ(console.LevelSetCount(), 0);
}

TEST(ConsoleDevice, LevelSetOnChannelZeroFiresNothing) {
  RawBus bus;
  ConsoleConfig c = Console(13, 0x268, 4);
  c.typeLetter = 'Q';
  auto& console = bus.Add<ConsoleDevice>(c, bus.log);
  // Level 1 with the reply bit.
  EXPECT_EQ(bus.Ask({0x84, 0x00, 0x00, 0x80, 0x81, 13}), Reply(0x7B, 0x00, 0x00, 0x80, 0x81, 13));
  EXPECT_EQ(console.LastLevel(), 1);
  EXPECT_EQ(console.LevelSetCount(), 1);
  EXPECT_EQ(bus.log.Size(), 0u);
}

TEST(ConsoleDevice, MotorCommandsOnlyOnAMotorConsole) {
  RawBus bus;
  ConsoleConfig motor = Console(40, 0x168, 8);
  motor.typeLetter = 'P';
  bus.Add<ConsoleDevice>(motor, bus.log);
  bus.Add<ConsoleDevice>(Console(41, 0x168, 8), bus.log);

  // LT with duration 12 and level 3: 8C 81 03 0C 00.
  EXPECT_EQ(bus.Ask({0x8C, 0x81, 0x03, 0x0C, 0x00, 40}), Reply(0x73, 0x81, 0x03, 0x0C, 0x00, 40));
  EXPECT_TRUE(bus.Ask({0x8C, 0x98, 0x05, 0x00, 0x00, 41}).empty());
  const auto log = bus.log.Entries();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].kind, FireKind::Motion);
  EXPECT_EQ(log[0].motionCode, 0x81);
  EXPECT_EQ(log[0].x, 3);
  EXPECT_EQ(log[0].y, 12);
  EXPECT_NE(FireEntryText(log[0]).find("console 40  motion LT 3 12  direct"), std::string::npos)
      << FireEntryText(log[0]);
}

TEST(ConsoleDevice, SwitchedOffItHearsNothing) {
  RawBus bus;
  auto& console = bus.Add<ConsoleDevice>(Console(14, 0x165), bus.log);
  bus.segment.SetDevicePowered(console, false);
  EXPECT_TRUE(bus.Ask({0x80, 0x00, 0x01, 0x02, 0x03, 14}).empty());
  EXPECT_TRUE(bus.Ask({0x84, 0x01, 0x00, 0x80, 0x00, 14}).empty());
  EXPECT_EQ(bus.log.Size(), 0u);
  bus.segment.SetDevicePowered(console, true);
  EXPECT_EQ(bus.Ask({0x80, 0x00, 0x01, 0x02, 0x03, 14}).size(), 7u);
}

TEST(ConsoleDevice, BroadcastsAndForeignFramesAreNeverAnswered) {
  RawBus bus;
  bus.Add<ConsoleDevice>(Console(1, 0x165), bus.log);
  EXPECT_TRUE(bus.Ask({0x90, 0x00, 0x00, 0x80, 0x00, 0x00}).empty());
  EXPECT_TRUE(bus.Ask({0x90, 0x00, 0x00, 0x00, 0x00, 0x00}).empty());
  EXPECT_TRUE(bus.Ask({0x01, 0x00, 0x00, 0x22, 0x00, 0xFF}).empty());
  // A reply code addressed to the console is not a request.
  EXPECT_TRUE(bus.Ask({0x7F, 0x00, 0x01, 0x02, 0x03, 0x01}).empty());
}

TEST(ConsoleDevice, FireEntryTextNamesEverything) {
  FireEntry e{5, FireKind::Channel, 3, 0, 0, 0, 0, 1234567, FireSource::Direct};
  EXPECT_EQ(FireEntryText(e), "1234.567 ms  console 5  channel 3  level 0  direct");
  e.source = FireSource::Memory;
  e.timeUs = 5000;
  EXPECT_EQ(FireEntryText(e), "5.000 ms  console 5  channel 3  level 0  from memory");
  FireLog log;
  EXPECT_EQ(log.Text(), "(no firings)\n");
  log.Add(e);
  EXPECT_EQ(log.Text(), FireEntryText(e) + "\n");
}

}  // namespace
}  // namespace fd::sim
