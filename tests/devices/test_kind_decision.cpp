// Which class a console address gets, decided from its type letter and identification.
#include <gtest/gtest.h>

#include "bench_fixture.h"
#include "devices/common_control.h"
#include "devices/device_factory.h"

namespace fd::devices {
namespace {

using testing::BusBench;

TEST(ConsoleClass, LetterThenChannelCountInThatOrder) {
  EXPECT_EQ(ConsoleClassFor('P', 4), DeviceClass::Motor) << "P beats four channels";
  EXPECT_EQ(ConsoleClassFor('P', 16), DeviceClass::Motor);
  EXPECT_EQ(ConsoleClassFor('Q', 16), DeviceClass::HV);
  EXPECT_EQ(ConsoleClassFor('R', 32), DeviceClass::HV);
  EXPECT_EQ(ConsoleClassFor('S', 4), DeviceClass::HV);
  EXPECT_EQ(ConsoleClassFor('S', 5), DeviceClass::Auto);
  EXPECT_EQ(ConsoleClassFor('p', 8), DeviceClass::Auto) << "letters are taken as they come";
  EXPECT_EQ(ConsoleClassFor(0, 0), DeviceClass::Auto);
}

struct KindCase {
  char letter;
  int channels;
  std::optional<uint8_t> confirmation;
  const char* expectedClass;
  int expectedRepeat;
};

TEST(KindDecision, RegisteredConsolesGetTheirClassAndRepeatMode) {
  const KindCase cases[] = {
      {'P', 4, std::nullopt, "TMotorControl", -1}, {'Q', 16, 0x5A, "THVControl", 0x5A},
      {'R', 8, std::nullopt, "THVControl", -1},    {'S', 4, 0x00, "THVControl", 0},
      {'S', 16, 0xC3, "TAutoControl", 0xC3},
  };
  BusBench bench;
  int address = 10;
  for (const KindCase& c : cases) {
    sim::ConsoleConfig config;
    config.address = address;
    config.version = 0x168;
    config.typeLetter = c.letter;
    config.channels = c.channels;
    config.confirmation = c.confirmation;
    bench.AddConsole(config);
    TCommonDevice* device = bench.controls->Register(address, 0);
    ASSERT_NE(device, nullptr) << c.letter << c.channels;
    EXPECT_STREQ(device->ClassName(), c.expectedClass) << c.letter << c.channels;
    EXPECT_EQ(device->RepeatMode, c.expectedRepeat) << c.letter << c.channels;
    EXPECT_EQ(device->Converter, 0);
    ++address;
  }
}

TEST(KindDecision, NoLetterAnswerGivesAStandardConsoleWithSingleAttempts) {
  BusBench bench;
  sim::ConsoleConfig config;
  config.address = 33;
  config.version = 0x151;
  config.answersTypeLetter = false;
  config.typeLetter = 'P';
  config.channels = 4;
  config.confirmation = 0x11;
  config.voltage = 23.5;
  bench.AddConsole(config);
  bench.sent.clear();
  auto* console = dynamic_cast<TCommonControl*>(bench.controls->Register(33, 0));
  ASSERT_NE(console, nullptr);
  EXPECT_STREQ(console->ClassName(), "TAutoControl");
  EXPECT_EQ(console->RepeatMode, -1);
  // Still updated and polled.
  EXPECT_EQ(console->Version, 0x151);
  EXPECT_EQ(console->ChannelCount, 4);
  EXPECT_DOUBLE_EQ(console->Voltage, 23.5);
  // Without a letter the identification with its confirmation is never asked for at creation:
  // the only 0x8F is the channel count of UpdateInfo.
  EXPECT_EQ(bench.SentCount(0x8F), 1);
}

TEST(KindDecision, AFailedIdentificationRegistersNothing) {
  BusBench bench;
  auto& device = bench.AddScripted();
  // Answers the probe and the letter, never the identification.
  device.AddRule(sim::ScriptedDevice::Reply(0x80, 50, {0x7F, 0x00, '1', '6', '8', 50}));
  device.AddRule(sim::ScriptedDevice::Reply(0x89, 50, {0x76, 0x00, 0x00, 'S', 0x00, 50}));
  int changes = 0;
  bench.controls->OnChange = [&](int) { ++changes; };
  EXPECT_EQ(bench.controls->Register(50, 0), nullptr);
  EXPECT_EQ(bench.controls->Count(), 0);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(device.HeardCount(0x8F), 1);
}

TEST(KindDecision, OnlyConsoleRadioAndRemoteAddressesGetObjects) {
  BusBench bench;
  auto& device = bench.AddScripted();
  for (int address : {200, 220, 239})
    device.AddRule(sim::ScriptedDevice::Reply(0x80, address, {0x7F, 0, '1', '0', '0', static_cast<uint8_t>(address)}));
  bench.AddRemote(0x0A3);
  bench.AddRadio(250, 0x101);
  for (int address : {200, 220, 239}) EXPECT_EQ(bench.controls->Register(address, 0), nullptr) << address;
  TCommonDevice* remote = bench.controls->Register(0, 0);
  TCommonDevice* radio = bench.controls->Register(250, 0);
  ASSERT_NE(remote, nullptr);
  ASSERT_NE(radio, nullptr);
  EXPECT_STREQ(remote->ClassName(), "TRemoteControl");
  EXPECT_EQ(remote->Version, 0x0A3);
  EXPECT_STREQ(radio->ClassName(), "TRadioModule");
  EXPECT_EQ(radio->Version, 0x101);
  EXPECT_EQ(bench.controls->Count(), 2);
}

}  // namespace
}  // namespace fd::devices
