// The bench operator's commands, on a bench under the virtual clock.

#include <gtest/gtest.h>

#include "bench_commands.h"
#include "platform/virtual_platform.h"
#include "raw_bus.h"
#include "sim/bench_file.h"

namespace fd::tools {
namespace {

class Commands : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    auto config = sim::ParseBench("console 4 version 165\nremote\npeer 30\npeer 31 version 3\n", "t", error);
    ASSERT_TRUE(config) << error;
    bench = std::make_unique<sim::Bench>(*config, clock);
    bench->Segment().OpenConverter(0, session);
    commands =
        std::make_unique<BenchCommands>(*bench, BenchCommands::Plug{[this](std::string& e) {
                                                                      if (!plugged) e = "already out";
                                                                      const bool was = plugged;
                                                                      plugged = false;
                                                                      return was;
                                                                    },
                                                                    [this](std::string&) { return plugged = true; },
                                                                    [] { return std::string("/dev/pts/99"); }});
  }

  // Lets 20 ms of bench time pass and returns what converter 0 heard.
  std::vector<uint8_t> Heard() {
    for (int i = 0; i < 20; ++i) {
      clock.Sleep(1);
      bench->Segment().Poll();
    }
    std::vector<uint8_t> bytes(256);
    uint32_t got = 0;
    bench->Segment().Receive(0, session, bytes.data(), 256, got);
    bytes.resize(got);
    return bytes;
  }

  platform::VirtualClock clock;
  std::unique_ptr<sim::Bench> bench;
  std::unique_ptr<BenchCommands> commands;
  uint64_t session = 0;
  bool plugged = true;
};

TEST_F(Commands, RemoteAndPeersSpeakOnTheBus) {
  clock.Sleep(1234);
  EXPECT_EQ(commands->Run("remote-stop").output, "remote control: stop sent at 1234.000 ms (bench time)\n");
  EXPECT_EQ(Heard(), sim::testing::Reply(0x90, 0, 0, 0, 0, 0));

  EXPECT_EQ(commands->Run("peer-query").output, "peer 30: state query sent\n");
  EXPECT_EQ(Heard(), sim::testing::Reply(0x03, 0, 0, 30, 0, 0xFF));
  EXPECT_EQ(commands->Run("  peer-query   31 ").output, "peer 31: state query sent\n");
  EXPECT_EQ(Heard(), sim::testing::Reply(0x03, 0, 0, 31, 0, 0xFF));

  EXPECT_EQ(commands->Run("peer-stop 31").output, "peer 31: stop sent\n");
  auto stop = sim::testing::Reply(0x90, 0, 0, 0, 0, 0);
  const auto announce = sim::testing::Reply(0x11, 0, 0, 31, 0, 0xFF);
  stop.insert(stop.end(), announce.begin(), announce.end());
  EXPECT_EQ(Heard(), stop);
}

TEST_F(Commands, LogShowsFiringsAndTheStateAnswersPeersHeard) {
  EXPECT_EQ(commands->Run("log").output, "fire log:\n(no firings)\n");
  const bus::BusFrame fire = bus::MakeBusFrame({0x84, 0x02, 0x00, 0x80, 0x00, 4});
  const bus::BusFrame answer = bus::MakeBusFrame({0x04, 0x01, 0x00, 0x55, 31, 0xFF});
  bench->Segment().Transmit(0, session, fire.data(), 7);
  Heard();
  bench->Segment().Transmit(0, session, answer.data(), 7);
  Heard();
  const std::string log = commands->Run("log").output;
  EXPECT_NE(log.find("console 4  channel 2  level 0  direct\n"), std::string::npos) << log;
  EXPECT_NE(log.find("peer 31 heard a state answer from 85: mode 1, launch mode 0\n"), std::string::npos) << log;
}

TEST_F(Commands, PowerAndPlug) {
  EXPECT_EQ(commands->Run("off 4").output, "address 4 switched off\n");
  EXPECT_FALSE(bench->Console(4)->PoweredOn);
  EXPECT_EQ(commands->Run("on 4").output, "address 4 switched on\n");
  EXPECT_TRUE(bench->Console(4)->PoweredOn);
  EXPECT_EQ(commands->Run("off 255").output, "address 255 switched off\n");
  EXPECT_FALSE(bench->Peer(30)->PoweredOn);
  EXPECT_FALSE(bench->Peer(31)->PoweredOn);

  EXPECT_EQ(commands->Run("unplug").output, "converter unplugged\n");
  EXPECT_EQ(commands->Run("unplug").error, "already out");
  EXPECT_EQ(commands->Run("replug").output, "/dev/pts/99\n");
}

TEST_F(Commands, MistakesGetClearErrorsAndChangeNothing) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"off", "off needs one bus address 0..255"},
      {"on 256", "on needs one bus address 0..255"},
      {"off 4 5", "off needs one bus address 0..255"},
      {"off 200", "nothing at address 200"},
      {"peer-query 0", "peer-query takes at most one peer instance number 1..255"},
      {"peer-stop 30 31", "peer-stop takes at most one peer instance number 1..255"},
      {"peer-stop 32", "no peer 32 on this bench"},
      {"remote-stop now", "remote-stop takes no argument"},
      {"quit now", "quit takes no argument"},
      {"Log", std::string("unknown command \"Log\"; ") + BenchCommands::kHelp},
  };
  for (const auto& [line, error] : cases) {
    const CommandOutcome outcome = commands->Run(line);
    EXPECT_EQ(outcome.error, error) << line;
    EXPECT_TRUE(outcome.output.empty()) << line;
    EXPECT_FALSE(outcome.quit) << line;
  }
  EXPECT_TRUE(Heard().empty()) << "nothing went on the bus";
  EXPECT_TRUE(bench->Console(4)->PoweredOn);
  EXPECT_TRUE(commands->Run("quit").quit);
  EXPECT_TRUE(commands->Run("").error.empty());
}

}  // namespace
}  // namespace fd::tools
