// Bench files: the format, its errors, and the default bench that ships with the program.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/virtual_platform.h"
#include "sim/bench.h"
#include "sim/bench_file.h"
#include "sim/default_bench.h"

namespace fd::sim {
namespace {

std::optional<BenchConfig> Parse(const std::string& text, std::string& error) {
  return ParseBench(text, "t.bench", error);
}

TEST(BenchFile, DefaultBenchIsTheShippedFileByteForByte) {
  std::ifstream file(FIRNADESK_DEFAULT_BENCH_FILE, std::ios::binary);
  ASSERT_TRUE(file) << FIRNADESK_DEFAULT_BENCH_FILE;
  std::ostringstream text;
  text << file.rdbuf();
  EXPECT_EQ(text.str(), std::string(kDefaultBenchText));
}

TEST(BenchFile, DefaultBenchSpansTheGenerationsAndKinds) {
  std::string error;
  const auto bench = ParseBench(kDefaultBenchText, kDefaultBenchName, error);
  ASSERT_TRUE(bench) << error;
  EXPECT_EQ(bench->converters, 1);
  ASSERT_EQ(bench->consoles.size(), 7u);
  std::vector<int> versions;
  for (const auto& c : bench->consoles) versions.push_back(c.version);
  EXPECT_EQ(versions, (std::vector<int>{0x147, 0x151, 0x164, 0x168, 0x268, 0x36B, 0x168}));

  const ConsoleConfig& hv = bench->consoles[4];
  EXPECT_EQ(hv.typeLetter, 'Q');
  EXPECT_EQ(hv.channels, 4);
  EXPECT_DOUBLE_EQ(hv.auxVoltage, 310.5);
  EXPECT_EQ(hv.hvParameter, 60);
  EXPECT_EQ(hv.channelStates.at(2), ChannelState::Open);
  EXPECT_EQ(bench->consoles[0].channelStates.at(3), ChannelState::Open);
  EXPECT_EQ(bench->consoles[2].channelStates.at(5), ChannelState::Broken);
  EXPECT_EQ(bench->consoles[3].confirmation, std::optional<uint8_t>(0xA5));
  EXPECT_FALSE(bench->consoles[1].confirmation.has_value());
  EXPECT_EQ(bench->consoles[5].reading, -12);
  EXPECT_EQ(bench->consoles[6].typeLetter, 'P');
  ASSERT_EQ(bench->radios.size(), 1u);
  EXPECT_EQ(bench->radios[0].address, 240);
  EXPECT_EQ(bench->radios[0].version, 0x105);
  EXPECT_FALSE(bench->remote.has_value());
  EXPECT_TRUE(bench->peers.empty());
}

TEST(BenchFile, EveryPropertyIsRead) {
  std::string error;
  const auto bench = Parse(
      "# a comment line\r\n"
      "converters 2\n"
      "\n"
      "console 199 version 2a letter none channels 300 confirm 0 aux 1.5 voltage 65.535 status 1 reading 99 "
      "hv 255 open 1,3-4 broken 7 value 8=0.125 value 9=65.535 turnaround 0.5 late 12 memory 400  # trailing\n"
      "radio 254 version FFF turnaround 3 late 1\n"
      "remote version 101 late 250\n"
      "peer 255 version 5 seed 99 turnaround 1\n"
      "peer 1\n",
      error);
  ASSERT_TRUE(bench) << error;
  EXPECT_EQ(bench->converters, 2);
  const ConsoleConfig& c = bench->consoles.at(0);
  EXPECT_EQ(c.address, 199);
  EXPECT_EQ(c.version, 0x2A);
  EXPECT_FALSE(c.answersTypeLetter);
  EXPECT_EQ(c.channels, 300);
  EXPECT_EQ(c.confirmation, std::optional<uint8_t>(0));
  EXPECT_DOUBLE_EQ(c.auxVoltage, 1.5);
  EXPECT_DOUBLE_EQ(c.voltage, 65.535);
  EXPECT_EQ(c.statusBit, 1);
  EXPECT_EQ(c.reading, 99);
  EXPECT_EQ(c.hvParameter, 255);
  EXPECT_EQ(c.channelStates,
            (std::map<int, ChannelState>{
                {1, ChannelState::Open}, {3, ChannelState::Open}, {4, ChannelState::Open}, {7, ChannelState::Broken}}));
  EXPECT_EQ(c.channelValues, (std::map<int, int>{{8, 125}, {9, 65535}}));
  EXPECT_EQ(c.turnaroundUs, 500u);
  EXPECT_EQ(c.lateUs, 12000u);
  EXPECT_EQ(c.memory, 400);
  EXPECT_EQ(bench->radios.at(0).address, 254);
  EXPECT_EQ(bench->radios.at(0).version, 0xFFF);
  EXPECT_EQ(bench->radios.at(0).turnaroundUs, 3000u);
  ASSERT_TRUE(bench->remote);
  EXPECT_EQ(bench->remote->version, 0x101);
  EXPECT_EQ(bench->remote->lateUs, 250000u);
  ASSERT_EQ(bench->peers.size(), 2u);
  EXPECT_EQ(bench->peers[0].instance, 255);
  EXPECT_EQ(bench->peers[0].majorVersion, 5);
  EXPECT_EQ(bench->peers[0].seed, 99u);
  EXPECT_EQ(bench->peers[1].majorVersion, 2);
}

TEST(BenchFile, HighVoltageConsolesTakeTheirFirstValueInTenths) {
  std::string error;
  auto bench = Parse("console 5 letter R aux 6553.5\nconsole 6 channels 4\n", error);
  ASSERT_TRUE(bench) << error;
  EXPECT_DOUBLE_EQ(bench->consoles[0].auxVoltage, 6553.5);
  EXPECT_DOUBLE_EQ(bench->consoles[1].auxVoltage, 300.0) << "a high-voltage console without aux gets 300 V";
  EXPECT_FALSE(Parse("console 5 aux 32.768\n", error));
  EXPECT_EQ(error, "t.bench:1: aux must be at most 32.767 on a console that is not high-voltage");
  EXPECT_TRUE(Parse("console 5 letter P channels 4 aux 32.767\n", error)) << error;
  EXPECT_FALSE(Parse("console 5 letter P channels 4 aux 33\n", error)) << "a motor console is not high-voltage";
}

TEST(BenchFile, BadLinesAreRejectedWithTheirLineAndReason) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"lamp 3", "t.bench:1: unknown device \"lamp\" (console, radio, remote, peer or converters)"},
      {"console", "t.bench:1: console needs an address"},
      {"console 0", "t.bench:1: console address must be 1..199, not 0"},
      {"console 200", "t.bench:1: console address must be 1..199, not 200"},
      {"console x1", "t.bench:1: console address must be a whole number, not \"x1\""},
      {"console 5 version", "t.bench:1: \"version\" needs a value"},
      {"console 5 version 1000", "t.bench:1: version must be at most 3 hexadecimal digits, not \"1000\""},
      {"console 5 version 1G", "t.bench:1: version must be at most 3 hexadecimal digits, not \"1G\""},
      {"console 5 colour red", "t.bench:1: unknown property \"colour\" for a console"},
      {"console 5 channels 9 channels 9", "t.bench:1: property \"channels\" given twice"},
      {"console 5 channels 512", "t.bench:1: channels must be 1..511, not 512"},
      {"console 5 letter QR", "t.bench:1: letter must be one character or \"none\", not \"QR\""},
      {"console 5 confirm 100", "t.bench:1: confirm must be at most 2 hexadecimal digits, not \"100\""},
      {"console 5 status 2", "t.bench:1: status must be 0..1, not 2"},
      {"console 5 reading -100", "t.bench:1: reading must be -99..99, not -100"},
      {"console 5 voltage 70", "t.bench:1: voltage must be 0..65.535, not 70"},
      {"console 5 voltage 1,5", "t.bench:1: voltage must be a decimal number, not \"1,5\""},
      {"console 5 channels 8 open 9", "t.bench:1: channel 9 is beyond the console's 8 channels"},
      {"console 5 open 3-1", "t.bench:1: channel range \"3-1\" runs backwards"},
      {"console 5 open 3,", "t.bench:1: channel list \"3,\" is incomplete"},
      {"console 5 open 2 broken 2", "t.bench:1: channel 2 is both open and broken"},
      {"console 5 open 1-4,6-9 broken 10-16,5-7", "t.bench:1: channel 6 is both open and broken"},
      {"console 5 channels 8 open 2-4,3-12", "t.bench:1: channel 9 is beyond the console's 8 channels"},
      {"console 5 open 1-16,1-16,1-16,0-3", "t.bench:1: a channel number must be 1..511, not 0"},
      {"console 5 letter " + std::string(300, 'Q'),
       "t.bench:1: letter must be one character or \"none\", not \"" + std::string(40, 'Q') + "...\""},
      {"console 5 value 3", "t.bench:1: value must read CHANNEL=MEASUREMENT, not \"3\""},
      {"console 5 value 3=70", "t.bench:1: a measurement must be 0..65.535, not 70"},
      {"console 5 late -1", "t.bench:1: late must be 0..10000, not -1"},
      {"console 5 memory 0", "t.bench:1: memory must be 1..65535, not 0"},
      {"radio 239", "t.bench:1: radio address must be 240..254, not 239"},
      {"radio 240 channels 3", "t.bench:1: unknown property \"channels\" for a radio"},
      {"remote 0", "t.bench:1: remote takes no address: it is always 0"},
      {"remote version", "t.bench:1: \"version\" needs a value"},
      {"remote\nremote", "t.bench:2: there is only one remote control"},
      {"peer 0", "t.bench:1: peer instance must be 1..255, not 0"},
      {"peer 7\npeer 7", "t.bench:2: peer instance 7 is already taken"},
      {"console 5\nradio 240\nconsole 5", "t.bench:3: address 5 is already taken"},
      {"converters 0", "t.bench:1: converters must be 1..8, not 0"},
      {"converters 1 2", "t.bench:1: converters takes one number"},
      {"converters 1\nconverters 1", "t.bench:2: converters given twice"},
      {"# header\n\n  # indented comment\nconsole 5 version 165\nconsole 6 versoin 165",
       "t.bench:5: unknown property \"versoin\" for a console"},
  };
  for (const auto& [text, expected] : cases) {
    std::string error;
    EXPECT_FALSE(Parse(text, error).has_value()) << text;
    EXPECT_EQ(error, expected) << text;
  }
}

TEST(BenchFile, LoadingABadFileBuildsNoBench) {
  const std::string path = ::testing::TempDir() + "bad.bench";
  {
    std::ofstream out(path);
    out << "console 1 version 165\nconsole 2 version 165 open 40\n";
  }
  platform::VirtualClock clock;
  std::string error;
  EXPECT_EQ(Bench::Load(path, clock, error), nullptr);
  EXPECT_EQ(error, path + ":2: channel 40 is beyond the console's 16 channels");
  EXPECT_EQ(MakeSimulatedBench(path, clock, error), nullptr);

  const std::string missing = ::testing::TempDir() + "no-such.bench";
  EXPECT_EQ(Bench::Load(missing, clock, error), nullptr);
  EXPECT_EQ(error, missing + ": cannot read the file (No such file or directory)");
  std::remove(path.c_str());
}

TEST(BenchFile, ManyChannelRangesAreReadRangeByRange) {
  std::string ranges = "1-511";
  for (int i = 0; i < 20000; ++i) ranges += ",1-511,7";
  std::string error;
  const auto bench = Parse("console 1 channels 511 open " + ranges + " broken 510-511", error);
  EXPECT_FALSE(bench.has_value());
  EXPECT_EQ(error, "t.bench:1: channel 510 is both open and broken");
  const auto good = Parse("console 1 channels 511 open " + ranges, error);
  ASSERT_TRUE(good.has_value()) << error;
  EXPECT_EQ(good->consoles[0].channelStates.size(), 511u);
}

TEST(BenchFile, DirectoriesAndHugeFilesAreNoBench) {
  const std::string folder = ::testing::TempDir() + "bench-folder-" + std::to_string(::getpid());
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  const std::string huge = folder + "/huge.bench";
  { std::ofstream out(huge); }
  ASSERT_EQ(::truncate(huge.c_str(), static_cast<off_t>(kMaxBenchFileBytes) + 1), 0);
  struct Case {
    std::string path;
    std::string error;
  } cases[] = {
      {folder, folder + ": cannot read the file (it is a directory)"},
      {huge, huge + ": the file is larger than 16 MB: not a bench file"},
      {"/dev/zero", "/dev/zero: the file is larger than 16 MB: not a bench file"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(LoadBenchFile(c.path, error).has_value()) << c.path;
    EXPECT_EQ(error, c.error);
  }
  std::remove(huge.c_str());
  ::rmdir(folder.c_str());
}

TEST(BenchFile, AGoodFileBuildsEveryDevice) {
  const std::string path = ::testing::TempDir() + "good.bench";
  {
    std::ofstream out(path);
    out << "converters 2\nconsole 3 version 151\nradio 241\nremote\npeer 9 version 4\npeer 10\n";
  }
  platform::VirtualClock clock;
  std::string error;
  auto bench = Bench::Load(path, clock, error);
  ASSERT_NE(bench, nullptr) << error;
  EXPECT_EQ(bench->Segment().ConverterCount(), 2);
  ASSERT_NE(bench->Console(3), nullptr);
  EXPECT_EQ(bench->Console(3)->Config().version, 0x151);
  EXPECT_EQ(bench->Console(4), nullptr);
  EXPECT_NE(bench->Radio(241), nullptr);
  EXPECT_NE(bench->Remote(), nullptr);
  EXPECT_EQ(bench->Peer()->Instance(), 9);
  EXPECT_EQ(bench->Peer(10)->MajorVersion(), 2);
  EXPECT_EQ(bench->Peer(11), nullptr);
  EXPECT_EQ(bench->Devices().size(), 5u);
  std::remove(path.c_str());

  auto simulated = MakeSimulatedBench("", clock, error);
  ASSERT_NE(simulated, nullptr);
  EXPECT_EQ(simulated->Devices().size(), 8u);
}

}  // namespace
}  // namespace fd::sim
