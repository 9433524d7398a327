// Device objects over the bench: what each class asks the bus and what it keeps from the answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench_fixture.h"
#include "devices/common_control.h"
#include "devices/device_factory.h"
#include "devices/ext_devices.h"
#include "devices/hv_control.h"
#include "devices/motor_control.h"
#include "devices/soft_control.h"
#include "support/run_log.h"
#include "support/temp_dir.h"

namespace fd::devices {
namespace {

using testing::BusBench;

template <typename T>
std::unique_ptr<T> Make(BusBench& bench, DeviceClass cls, int id) {
  auto device = CreateDevice(cls, *bench.port, bench.platform, id);
  auto* typed = dynamic_cast<T*>(device.get());
  EXPECT_NE(typed, nullptr);
  device.release();
  return std::unique_ptr<T>(typed);
}

TEST(DeviceCreation, EveryClassStartsWithItsKindAndInitialFields) {
  BusBench bench;
  struct Case {
    DeviceClass cls;
    int id;
    uint8_t kind;
    const char* name;
  } cases[] = {{DeviceClass::Auto, 5, kKindAuto, "TAutoControl"},
               {DeviceClass::HV, 6, kKindHV, "THVControl"},
               {DeviceClass::Motor, 7, kKindMotor, "TMotorControl"},
               {DeviceClass::Radio, 241, kKindRadio, "TRadioModule"},
               {DeviceClass::Remote, 0, kKindRemote, "TRemoteControl"}};
  for (const Case& c : cases) {
    auto device = CreateDevice(c.cls, *bench.port, bench.platform, c.id);
    ASSERT_NE(device, nullptr) << c.name;
    EXPECT_EQ(device->Kind, c.kind) << c.name;
    EXPECT_EQ(device->ID, c.id) << c.name;
    EXPECT_STREQ(device->ClassName(), c.name);
    EXPECT_EQ(device->RepeatMode, -1) << c.name;
    EXPECT_EQ(device->Converter, -1) << c.name;
    EXPECT_EQ(device->Version, 0) << c.name;
    EXPECT_EQ(device->LastResult, 0) << c.name;
    if (auto* console = dynamic_cast<TCommonControl*>(device.get())) {
      EXPECT_EQ(console->StatusBit, kStatusNotReported);
      EXPECT_EQ(console->PollCount, 1);
      EXPECT_EQ(console->GoodCount, 1);
      EXPECT_EQ(console->LinkQuality(), 100) << "a new console shows one success of one";
      EXPECT_EQ(console->ChannelCount, 0);
    }
  }
  EXPECT_EQ(CreateDevice(DeviceClass::None, *bench.port, bench.platform, 5), nullptr);
}

TEST(DeviceCreation, APeerAlwaysSitsAtAddress255AndKeepsItsNumber) {
  BusBench bench;
  auto soft = Make<TSoftControl>(bench, DeviceClass::Soft, 0x0A);
  EXPECT_EQ(soft->ID, 255);
  EXPECT_EQ(soft->PeerNumber, 0x0A);
  EXPECT_EQ(soft->Kind, kKindSoft);
  EXPECT_EQ(SoftwareKindText(2), "Стандартное ПО управления");
  EXPECT_EQ(SoftwareKindText(3), "Расширенное ПО управления");
  EXPECT_EQ(SoftwareKindText(4), "ПО тестирования и отладки");
  EXPECT_EQ(SoftwareKindText(5), "Резервное ПО управления");
  EXPECT_EQ(SoftwareKindText(0), "Неизвестное ПО");
  EXPECT_EQ(SoftwareKindText(6), "Неизвестное ПО");
}

TEST(ConsoleInfo, UpdateInfoReadsVersionLetterAndChannelCount) {
  BusBench bench;
  bench.AddConsole(12, 0x164, 'S', 24);
  auto console = Make<TAutoControl>(bench, DeviceClass::Auto, 12);
  console->UpdateInfo();
  EXPECT_EQ(console->Version, 0x164);
  EXPECT_EQ(console->TypeLetter, 'S');
  EXPECT_EQ(console->ChannelCount, 24);
  EXPECT_EQ(console->LastResult, 0);
  // Version, letter and channel count: three exchanges, all good.
  EXPECT_EQ(console->PollCount, 3);
  EXPECT_EQ(console->GoodCount, 3);
}

TEST(ConsoleInfo, ASilentConsoleGivesVersionZeroAndKeepsItsChannelCount) {
  BusBench bench;
  auto& device = bench.AddConsole(12, 0x164, 'S', 24);
  auto console = Make<TAutoControl>(bench, DeviceClass::Auto, 12);
  console->UpdateInfo();
  bench.PowerOff(device);
  console->UpdateInfo();
  EXPECT_EQ(console->Version, 0);
  EXPECT_EQ(console->ChannelCount, 24) << "a failed identification keeps the count";
  EXPECT_EQ(console->TypeLetter, 'S') << "a failed letter request keeps the letter";
  EXPECT_EQ(console->LastResult, bus::kBusNoReply);
}

TEST(ConsolePoll, StatusBitIsKeptOnlyFrom151On) {
  BusBench bench;
  for (int version : {0x147, 0x150, 0x151, 0x268}) {
    sim::ConsoleConfig config;
    config.address = version % 199 + 1;
    config.version = version;
    config.statusBit = 1;
    config.auxVoltage = 12.5;
    config.voltage = 24.25;
    bench.AddConsole(config);
    auto console = Make<TAutoControl>(bench, DeviceClass::Auto, config.address);
    console->UpdateInfo();
    console->Poll();
    EXPECT_EQ(console->LastResult, 0);
    EXPECT_DOUBLE_EQ(console->AuxVoltage, 12.5);
    EXPECT_DOUBLE_EQ(console->Voltage, 24.25);
    EXPECT_EQ(console->StatusBit, version >= 0x151 ? 1 : kStatusNotReported) << std::hex << version;
  }
}

TEST(ConsolePoll, ReadingIsFetchedOnlyFrom36BOn) {
  BusBench bench;
  for (int version : {0x36A, 0x36B}) {
    sim::ConsoleConfig config;
    config.address = version == 0x36A ? 30 : 31;
    config.version = version;
    config.reading = -12;
    bench.AddConsole(config);
    auto console = Make<TAutoControl>(bench, DeviceClass::Auto, config.address);
    console->UpdateInfo();
    bench.sent.clear();
    console->Poll();
    EXPECT_EQ(bench.SentCount(0x8D), version >= 0x36B ? 1 : 0);
    EXPECT_DOUBLE_EQ(console->Reading, version >= 0x36B ? -12.0 : 0.0);
  }
}

TEST(ConsolePoll, AFailedPollClearsVoltagesAndStatusBit) {
  BusBench bench;
  sim::ConsoleConfig config;
  config.address = 3;
  config.version = 0x36B;
  config.statusBit = 1;
  config.reading = 42;
  auto& device = bench.AddConsole(config);
  auto console = Make<TAutoControl>(bench, DeviceClass::Auto, 3);
  console->UpdateInfo();
  console->Poll();
  ASSERT_EQ(console->StatusBit, 1);
  ASSERT_DOUBLE_EQ(console->Reading, 42);
  bench.PowerOff(device);
  console->Poll();
  EXPECT_EQ(console->LastResult, bus::kBusNoReply);
  EXPECT_EQ(console->AuxVoltage, 0);
  EXPECT_EQ(console->Voltage, 0);
  EXPECT_EQ(console->StatusBit, kStatusNotReported);
  EXPECT_EQ(console->Reading, 0);
}

TEST(ConsolePoll, HighVoltageReadsTenthsAndMotorShowsItsFirstValue) {
  BusBench bench;
  sim::ConsoleConfig hvConfig;
  hvConfig.address = 40;
  hvConfig.version = 0x268;
  hvConfig.typeLetter = 'Q';
  hvConfig.channels = 4;
  hvConfig.auxVoltage = 330.5;
  hvConfig.voltage = 24.0;
  hvConfig.hvParameter = 0x5C;
  bench.AddConsole(hvConfig);
  auto hv = Make<THVControl>(bench, DeviceClass::HV, 40);
  hv->UpdateInfo();
  hv->Poll();
  EXPECT_NEAR(hv->AuxVoltage, 330.5, 1e-9);
  EXPECT_DOUBLE_EQ(hv->Voltage, 24.0);
  EXPECT_EQ(hv->HVParameter, 0x5C);

  sim::ConsoleConfig motorConfig;
  motorConfig.address = 41;
  motorConfig.version = 0x168;
  motorConfig.typeLetter = 'P';
  motorConfig.auxVoltage = 11.5;
  motorConfig.voltage = 3.0;
  bench.AddConsole(motorConfig);
  auto motor = Make<TMotorControl>(bench, DeviceClass::Motor, 41);
  motor->UpdateInfo();
  motor->Poll();
  EXPECT_DOUBLE_EQ(motor->AuxVoltage, 11.5);
  EXPECT_DOUBLE_EQ(motor->Voltage, 11.5) << "a motor console's supply is its first status value";
}

TEST(ConsoleResults, LastResultIsTheLetterTheCountAndTheStatusNotTheSideRequests) {
  // A high-voltage console that answers its version, identification and status but neither the
  // type letter, the parameter nor the reading.
  BusBench bench;
  auto& device = bench.AddScripted();
  device.AddRule(sim::ScriptedDevice::Reply(0x80, 60, {0x7F, 0x00, '3', '6', 'B', 60}));
  device.AddRule(sim::ScriptedDevice::Reply(0x8F, 60, {0x70, 'O', 'k', 0x00, 0x08, 60}));
  device.AddRule(sim::ScriptedDevice::Reply(0x85, 60, {0x7A, 0x0C, 0xE4, 0x5D, 0xC0, 60}));
  auto hv = Make<THVControl>(bench, DeviceClass::HV, 60);

  EXPECT_EQ(hv->GetVersion(), 0x36B) << "the version read before the letter counts";
  EXPECT_EQ(hv->LastResult, bus::kBusNoReply) << "the letter request is the latest exchange";
  EXPECT_EQ(hv->TypeLetter, 0);

  hv->HVParameter = 9;
  hv->UpdateInfo();
  EXPECT_EQ(hv->Version, 0x36B);
  EXPECT_EQ(hv->ChannelCount, 8);
  EXPECT_EQ(hv->LastResult, 0) << "the parameter request does not touch LastResult";
  EXPECT_EQ(hv->HVParameter, 0);
  EXPECT_EQ(device.HeardCount(0x82), 1);

  hv->Reading = 5;
  hv->Poll();
  EXPECT_EQ(device.HeardCount(0x8D), 1);
  EXPECT_EQ(hv->LastResult, 0) << "a failed reading does not touch LastResult";
  EXPECT_EQ(hv->Reading, 0);
  EXPECT_NEAR(hv->AuxVoltage, 330.0, 1e-9);  // 0x0CE4 tenths
  EXPECT_DOUBLE_EQ(hv->Voltage, 24.0);       // 0x5DC0 thousandths
}

TEST(LinkStatistics, TenFailuresShowNineThenZero) {
  BusBench bench;
  TAutoControl console(*bench.port, bench.platform, 9);
  EXPECT_EQ(console.LinkQuality(), 100);
  console.LastResult = bus::kBusNoReply;
  for (int i = 1; i <= 10; ++i) console.UpdateLinkStats();
  EXPECT_EQ(console.LinkQuality(), 9);  // 1 of 11
  console.UpdateLinkStats();
  EXPECT_EQ(console.LinkQuality(), 0) << "the window restarts without the carried success";
  for (int i = 0; i < 20; ++i) {
    console.UpdateLinkStats();
    EXPECT_EQ(console.LinkQuality(), 0);
  }
}

TEST(LinkStatistics, AWindowAt15PercentOrMoreCarriesOneSuccess) {
  BusBench bench;
  TAutoControl good(*bench.port, bench.platform, 9);
  // 1 initial success + 1 more of 10 exchanges: 2 of 11 = 18 % carries over.
  good.LastResult = 0;
  good.UpdateLinkStats();
  good.LastResult = bus::kBusNoReply;
  for (int i = 0; i < 9; ++i) good.UpdateLinkStats();
  EXPECT_EQ(good.LinkQuality(), 18);
  good.UpdateLinkStats();
  EXPECT_EQ(good.PollCount, 2);
  EXPECT_EQ(good.GoodCount, 1);
  EXPECT_EQ(good.LinkQuality(), 50);

  TAutoControl poor(*bench.port, bench.platform, 10);
  poor.LastResult = bus::kBusNoReply;
  for (int i = 0; i < 10; ++i) poor.UpdateLinkStats();  // 1 of 11 = 9 %
  poor.LastResult = 0;
  poor.UpdateLinkStats();
  EXPECT_EQ(poor.PollCount, 2);
  EXPECT_EQ(poor.GoodCount, 1) << "nothing carried, this success alone";
}

TEST(LinkStatistics, AConsoleThatStopsAnsweringFallsToZeroThroughItsOperations) {
  BusBench bench;
  auto& device = bench.AddConsole(14, 0x151);
  auto console = Make<TAutoControl>(bench, DeviceClass::Auto, 14);
  bench.PowerOff(device);
  // GetVersion, CheckLink and Poll each count once: 1 of 11 after ten operations.
  for (int i = 0; i < 3; ++i) console->GetVersion();
  for (int i = 0; i < 3; ++i) console->CheckLink();
  for (int i = 0; i < 4; ++i) console->Poll();
  EXPECT_EQ(console->LinkQuality(), 9);
  console->Poll();
  EXPECT_EQ(console->LinkQuality(), 0);
}

TEST(ChannelMeasurement, WidensTheReplyWindowTo200msAndRestoresIt) {
  BusBench bench;
  sim::ConsoleConfig config;
  config.address = 20;
  config.version = 0x151;
  config.lateUs = 150'000;  // answers 150 ms late: only the measurement's window catches it
  bench.AddConsole(config);
  auto console = Make<TAutoControl>(bench, DeviceClass::Auto, 20);
  console->Version = 0x151;
  bench.port->ReplyTimeout = 70;
  double value = -7;
  EXPECT_EQ(console->TestChannel(0, value), 0);
  EXPECT_NE(value, -7);
  EXPECT_EQ(bench.port->ReplyTimeout.load(), 70u);
  console->Poll();
  EXPECT_EQ(console->LastResult, bus::kBusNoReply) << "the ordinary window stays 70 ms";

  bench.port->ReplyTimeout = 90;
  console->TestChannel(1, value);
  EXPECT_EQ(bench.port->ReplyTimeout.load(), 90u);
}

TEST(ChannelMeasurement, HighVoltageScalesTheValueBy100AndFailuresLeaveItAlone) {
  BusBench bench;
  sim::ConsoleConfig config;
  config.address = 21;
  config.version = 0x168;
  config.channels = 8;
  config.channelValues[1] = 250;  // wire channel 1 answers 0.250
  config.channelStates[2] = sim::ChannelState::Broken;
  bench.AddConsole(config);
  config.address = 22;
  config.typeLetter = 'R';
  bench.AddConsole(config);

  auto standard = Make<TAutoControl>(bench, DeviceClass::Auto, 21);
  auto hv = Make<THVControl>(bench, DeviceClass::HV, 22);
  double a = 0;
  double b = 0;
  ASSERT_EQ(standard->TestChannel(0, a), 0);
  ASSERT_EQ(hv->TestChannel(0, b), 0);
  EXPECT_DOUBLE_EQ(a, 0.25);
  EXPECT_DOUBLE_EQ(b, 25.0);

  double untouched = 1.5;
  EXPECT_EQ(hv->TestChannel(1, untouched), bus::kBusNoReply);
  EXPECT_EQ(hv->LastResult, bus::kBusNoReply);
  EXPECT_DOUBLE_EQ(untouched, 1.5) << "a failed measurement is neither stored nor scaled";
}

TEST(ChannelBounds, ChannelsOutsideTheTablesAreRefusedWithoutSending) {
  BusBench bench;
  bench.AddConsole(23, 0x168);
  auto hv = Make<THVControl>(bench, DeviceClass::HV, 23);
  double value = 3;
  for (int channel : {-1, 512, 1000}) {
    EXPECT_EQ(hv->TestChannel(channel, value), kOutOfRange);
    EXPECT_EQ(hv->Fire(channel), kOutOfRange);
    EXPECT_EQ(hv->FireLevel(channel, 0), kOutOfRange);
    EXPECT_FALSE(hv->SetChannelState(channel, 1));
    EXPECT_FALSE(hv->SetChannelValue(channel, 1));
    EXPECT_FALSE(hv->SetChannelUsed(channel, true));
    EXPECT_FALSE(hv->SetChannelLevel(channel, 1));
    EXPECT_EQ(hv->StateOf(channel), 0);
  }
  EXPECT_EQ(hv->FireLevel(0, -1), kOutOfRange);
  EXPECT_EQ(hv->FireLevel(0, 16384), kOutOfRange);
  EXPECT_TRUE(bench.sent.empty());
  EXPECT_EQ(bench.log.Size(), 0u);
  EXPECT_DOUBLE_EQ(value, 3);
  EXPECT_TRUE(hv->SetChannelState(511, 2));
  EXPECT_EQ(hv->StateOf(511), 2);
}

TEST(ChannelBounds, TableChannelsStaysWithinTheTables) {
  BusBench bench;
  TAutoControl console(*bench.port, bench.platform, 1);
  console.ChannelCount = 20;
  EXPECT_EQ(console.TableChannels(), 20);
  console.ChannelCount = 4000;
  EXPECT_EQ(console.TableChannels(), 512);
  console.ChannelCount = -3;
  EXPECT_EQ(console.TableChannels(), 0);
}

TEST(Firing, UnansweredOnceOrThreeTimesByRepeatMode) {
  BusBench bench;
  bench.AddConsole(12, 0x168);
  auto console = Make<TAutoControl>(bench, DeviceClass::Auto, 12);
  console->Fire(2);
  ASSERT_EQ(bench.SentCount(0x84), 1);
  EXPECT_EQ(bench.sent.back(), (bus::Frame6{0x84, 0x03, 0x00, 0x80, 0x00, 0x0C}));
  console->RepeatMode = 0;
  console->Fire(2);
  EXPECT_EQ(bench.SentCount(0x84), 4);
  EXPECT_EQ(console->LastResult, 0) << "firing keeps nothing";
  bench.Advance(20);
  ASSERT_GE(bench.log.Size(), 1u);
  EXPECT_EQ(bench.log.Entries().front().channel, 3);
}

TEST(Firing, HighVoltageFiresWithALevel) {
  BusBench bench;
  bench.AddConsole(13, 0x268, 'Q', 4);
  auto hv = Make<THVControl>(bench, DeviceClass::HV, 13);
  EXPECT_EQ(hv->FireLevel(1, 300), 0);
  bench.Advance(20);
  ASSERT_EQ(bench.log.Size(), 1u);
  EXPECT_EQ(bench.log.Entries()[0].channel, 2);
  EXPECT_EQ(bench.log.Entries()[0].level, 300);
}

TEST(Firing, MotorCommandsCarryTheirSubCodesAndParameters) {
  BusBench bench;
  bench.AddConsole(16, 0x168, 'P', 8);
  auto motor = Make<TMotorControl>(bench, DeviceClass::Motor, 16);
  EXPECT_EQ(motor->MotorC(10), 0);
  EXPECT_EQ(motor->MotorL(11), 0);
  EXPECT_EQ(motor->MotorR(12), 0);
  EXPECT_EQ(motor->MotorLT(13, 14), 0);
  EXPECT_EQ(motor->MotorRT(15, 16), 0);
  const std::vector<std::array<int, 3>> expected = {
      {0x98, 10, 0}, {0x94, 11, 0}, {0x92, 12, 0}, {0x81, 14, 13}, {0x91, 16, 15}};
  ASSERT_EQ(bench.SentCount(0x8C), 5);
  int k = 0;
  for (const auto& f : bench.sent) {
    if (f[0] != 0x8C) continue;
    EXPECT_EQ(f[1], expected[k][0]);
    EXPECT_EQ(f[2], expected[k][1]);
    EXPECT_EQ(f[3], expected[k][2]);
    EXPECT_EQ(f[5], 16);
    ++k;
  }
  EXPECT_EQ(motor->MotorLT(256, 0), kOutOfRange);
  EXPECT_EQ(motor->MotorC(-1), kOutOfRange);
  EXPECT_EQ(motor->Motor(0, 1, 1), kOutOfRange) << "a channel cue is no motion";
  EXPECT_EQ(bench.SentCount(0x8C), 5);
}

// A console that turned but whose answer was lost must not hear the turn again: it would turn
// twice. The centre is a place and keeps the repeat; with the answer intact nothing changes.
TEST(Firing, ATurnWhoseAnswerIsLostGoesOutOnceWithAWarning) {
  const std::string warning = "Движение пульта 16 не подтверждено: повтор не выполнен";
  struct Case {
    int kind, p1, p2;
    bool answerLost;
    bus::Frame6 frame;  // what goes on the wire, every time
    size_t motions;     // carried out by the console
    int frames;
    bool warned;
  } cases[] = {{MotionL, 11, 0, true, {0x8C, 0x94, 11, 0, 0, 16}, 1, 1, true},
               {MotionR, 12, 0, true, {0x8C, 0x92, 12, 0, 0, 16}, 1, 1, true},
               {MotionLT, 25, 80, true, {0x8C, 0x81, 80, 25, 0, 16}, 1, 1, true},
               {MotionRT, 26, 81, true, {0x8C, 0x91, 81, 26, 0, 16}, 1, 1, true},
               {MotionC, 10, 0, true, {0x8C, 0x98, 10, 0, 0, 16}, 2, 2, false},
               {MotionL, 11, 0, false, {0x8C, 0x94, 11, 0, 0, 16}, 1, 1, false},
               {MotionR, 12, 0, false, {0x8C, 0x92, 12, 0, 0, 16}, 1, 1, false},
               {MotionLT, 25, 80, false, {0x8C, 0x81, 80, 25, 0, 16}, 1, 1, false},
               {MotionRT, 26, 81, false, {0x8C, 0x91, 81, 26, 0, 16}, 1, 1, false},
               {MotionC, 10, 0, false, {0x8C, 0x98, 10, 0, 0, 16}, 1, 1, false}};
  // The run log of one case, as the debugger output sees it; put back however the case ends.
  struct RunLog {
    support::testing::TempDir dir;
    std::vector<std::string> lines;
    RunLog() {
      support::ResetRunLog();
      support::SetLogFileName(dir / "run.log");
      support::LogLevel = 1;
      support::SetDebugOutput([this](const std::string& text) { lines.push_back(text); });
    }
    ~RunLog() { support::ResetRunLog(); }
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.kind) + (c.answerLost ? " answer lost" : " answer intact"));
    RunLog runLog;
    BusBench bench;
    if (c.answerLost) bench.DropAnswersTo(0x8C);
    sim::ConsoleConfig config;
    config.address = 16;
    config.version = 0x168;
    config.typeLetter = 'P';
    config.channels = 8;
    config.confirmation = 0x5A;  // a console that asks for repeated exchanges
    bench.AddConsole(config);
    auto* motor = dynamic_cast<TMotorControl*>(bench.controls->Register(16, 0));
    ASSERT_NE(motor, nullptr);
    ASSERT_EQ(motor->RepeatMode, 0x5A);

    EXPECT_EQ(motor->Motor(c.kind, c.p1, c.p2) == 0, !c.answerLost);
    bench.Advance(300);
    EXPECT_EQ(bench.log.Size(), c.motions);
    std::vector<bus::Frame6> frames;
    for (const auto& f : bench.sent)
      if (f[0] == 0x8C) frames.push_back(f);
    EXPECT_EQ(frames, std::vector<bus::Frame6>(c.frames, c.frame));
    EXPECT_EQ(std::count(runLog.lines.begin(), runLog.lines.end(), warning), c.warned ? 1 : 0);
  }
}

TEST(ExtDevices, RadioPollRereadsItsVersionAndRemotePollSendsNothing) {
  BusBench bench;
  auto& radio = bench.AddRadio(242, 0x1A5);
  bench.AddRemote(0x0A3);
  auto module = Make<TRadioModule>(bench, DeviceClass::Radio, 242);
  auto remote = Make<TRemoteControl>(bench, DeviceClass::Remote, 0);
  module->Poll();
  EXPECT_EQ(module->Version, 0x1A5);
  EXPECT_EQ(module->LastResult, 0);
  bench.PowerOff(radio);
  module->Poll();
  EXPECT_EQ(module->Version, 0);
  EXPECT_EQ(module->LastResult, bus::kBusNoReply);

  remote->UpdateInfo();
  EXPECT_EQ(remote->Version, 0x0A3);
  bench.sent.clear();
  remote->Poll();
  EXPECT_TRUE(bench.sent.empty());
}

TEST(ExtDevices, APeerTellsItsSoftwareKindAndNumber) {
  BusBench bench;
  bench.AddPeer(0x21, 3);
  auto soft = Make<TSoftControl>(bench, DeviceClass::Soft, 0x21);
  bench.port->ReplyTimeout = 70;
  soft->UpdateInfo();
  EXPECT_EQ(soft->LastResult, 0);
  EXPECT_EQ(soft->Version, 3);
  EXPECT_EQ(soft->PeerNumber, 0x21);
  EXPECT_EQ(bench.port->ReplyTimeout.load(), 70u);
  soft->LastResult = -3;
  soft->Poll();
  EXPECT_EQ(soft->LastResult, 0);

  auto absent = Make<TSoftControl>(bench, DeviceClass::Soft, 0x22);
  absent->UpdateInfo();
  EXPECT_EQ(absent->Version, 0);
  EXPECT_EQ(absent->LastResult, bus::kBusNoReply);
  EXPECT_EQ(absent->PeerNumber, 0x22);
}

TEST(ClearTests, ZeroesStatesValuesAndLevelsButNotTheScenarioMarks) {
  BusBench bench;
  THVControl hv(*bench.port, bench.platform, 5);
  hv.SetChannelState(3, 2);
  hv.SetChannelValue(3, 25.0);
  hv.SetChannelLevel(3, 77);
  hv.SetChannelUsed(3, true);
  hv.ClearTests();
  EXPECT_EQ(hv.StateOf(3), 0);
  EXPECT_EQ(hv.ChannelValue[3], 0);
  EXPECT_EQ(hv.LevelOf(3), 0);
  EXPECT_EQ(hv.ChannelUsed[3], 1);
  hv.ClearChannelUsed();
  EXPECT_EQ(hv.ChannelUsed[3], 0);
}

}  // namespace
}  // namespace fd::devices
