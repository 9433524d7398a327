// Radio modules, the remote control and other operator programs, in raw frames.

#include <gtest/gtest.h>

#include "raw_bus.h"
#include "sim/peer_device.h"
#include "sim/radio_device.h"
#include "sim/remote_device.h"

namespace fd::sim {
namespace {

using testing::RawBus;
using testing::Reply;

std::vector<uint8_t> Join(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(RadioDevice, TellsItsVersionAndThatItIsAlive) {
  RawBus bus;
  bus.Add<RadioDevice>(RadioConfig{240, 0x105});
  EXPECT_EQ(bus.Ask({0x80, 0x00, 0x01, 0x02, 0x03, 240}), Reply(0x7F, 0x00, '1', '0', '5', 240));
  EXPECT_EQ(bus.Ask({0x8F, 0x01, 0x02, 0x03, 0x04, 240}), Reply(0x70, 'O', 'k', 0x00, 0x00, 240));
  EXPECT_TRUE(bus.Ask({0x80, 0x00, 0x01, 0x02, 0x03, 241}).empty());
  EXPECT_TRUE(bus.Ask({0x85, 0x00, 0x00, 0x00, 0x00, 240}).empty()) << "not a console";
}

TEST(RemoteDevice, AnswersItsVersionButNotTheBroadcastsAtItsAddress) {
  RawBus bus;
  bus.Add<RemoteDevice>(RemoteConfig{0x101});
  EXPECT_EQ(bus.Ask({0x80, 0x00, 0x01, 0x02, 0x03, 0x00}), Reply(0x7F, 0x00, '1', '0', '1', 0x00));
  EXPECT_TRUE(bus.Ask({0x90, 0x00, 0x00, 0x80, 0x00, 0x00}).empty());
  EXPECT_TRUE(bus.Ask({0x90, 0x00, 0x00, 0x00, 0x00, 0x00}).empty());
}

TEST(RemoteDevice, StopButtonSendsTheStopBroadcast) {
  RawBus bus;
  auto& remote = bus.Add<RemoteDevice>(RemoteConfig{});
  remote.PressStop();
  bus.Wait(10);
  EXPECT_EQ(bus.Drain(), Reply(0x90, 0x00, 0x00, 0x00, 0x00, 0x00));
  remote.PressStop(12345);
  bus.Wait(10);
  EXPECT_EQ(bus.Drain(), Reply(0x90, 0x00, 0x7B, 0x00, 0x00, 0x00));
}

TEST(RemoteDevice, AButtonPressedWhileOffIsForgotten) {
  RawBus bus;
  auto& remote = bus.Add<RemoteDevice>(RemoteConfig{});
  bus.segment.SetDevicePowered(remote, false);
  remote.PowerChanged(false);
  remote.PressStop();
  bus.Wait(10);
  bus.segment.SetDevicePowered(remote, true);
  remote.PowerChanged(true);
  bus.Wait(10);
  EXPECT_TRUE(bus.Drain().empty());
}

PeerConfig Peer(int instance, int version = 2, uint32_t seed = 0) {
  PeerConfig p;
  p.instance = instance;
  p.majorVersion = version;
  p.seed = seed;
  return p;
}

TEST(PeerDevice, AnswersTheSweepAfterItsOwnPause) {
  RawBus bus;
  auto& peer = bus.Add<PeerDevice>(Peer(0x41, 3));
  EXPECT_EQ(bus.Ask({0x01, 0x00, 0x00, 0x22, 0x00, 0xFF}, 200), Reply(0x02, 0x03, 0x00, 0x41, 0x22, 0xFF));
  ASSERT_EQ(peer.AnswerDelays().size(), 1u);
  const int delay = peer.AnswerDelays()[0];
  EXPECT_GE(delay, 0);
  EXPECT_LT(delay, 150);
  EXPECT_EQ(bus.DeviceStarts().back(), bus.sentAtUs + WireTimeUs(7) + 2000 + static_cast<uint64_t>(delay) * 1000);
}

TEST(PeerDevice, DirectedQueriesOnlyForItsOwnNumber) {
  RawBus bus;
  bus.Add<PeerDevice>(Peer(0x41));
  EXPECT_EQ(bus.Ask({0x01, 0x00, 0x00, 0x22, 0x41, 0xFF}, 200), Reply(0x02, 0x02, 0x00, 0x41, 0x22, 0xFF));
  EXPECT_TRUE(bus.Ask({0x01, 0x00, 0x00, 0x22, 0x42, 0xFF}, 200).empty());
  EXPECT_TRUE(bus.Ask({0x01, 0x00, 0x00, 0x22, 0x00, 0x05}, 200).empty()) << "not at the peers' address";
}

TEST(PeerDevice, PausesAreTheSameEveryRunAndDifferBetweenSeeds) {
  auto delays = [](uint32_t seed) {
    RawBus bus;
    auto& peer = bus.Add<PeerDevice>(Peer(9, 2, seed));
    for (int i = 0; i < 5; ++i) bus.Ask({0x01, 0x00, 0x00, 0x22, 0x00, 0xFF}, 200);
    return peer.AnswerDelays();
  };
  const auto first = delays(17);
  EXPECT_EQ(first.size(), 5u);
  EXPECT_EQ(first, delays(17));
  EXPECT_NE(first, delays(18));
  for (int d : first) EXPECT_LT(d, 150);
}

TEST(PeerDevice, TwoPeersBothAnswerAnOpenSweep) {
  RawBus bus;
  bus.Add<PeerDevice>(Peer(0x10, 2, 1));
  bus.Add<PeerDevice>(Peer(0x20, 4, 5));
  const auto heard = bus.Ask({0x01, 0x00, 0x00, 0x22, 0x00, 0xFF}, 200);
  // Each answer is a whole frame unless they happened to talk at once.
  ASSERT_EQ(heard.size(), 14u);
  const auto a = Reply(0x02, 0x02, 0x00, 0x10, 0x22, 0xFF);
  const auto b = Reply(0x02, 0x04, 0x00, 0x20, 0x22, 0xFF);
  EXPECT_TRUE(heard == Join(a, b) || heard == Join(b, a));
}

TEST(PeerDevice, AsksForStateAndKeepsTheAnswersMeantForIt) {
  RawBus bus;
  auto& peer = bus.Add<PeerDevice>(Peer(0x41));
  peer.SendStateQuery(0x33);
  bus.Wait(10);
  EXPECT_EQ(bus.Drain(), Reply(0x03, 0x00, 0x00, 0x41, 0x33, 0xFF));

  bus.Ask({0x04, 0x02, 0x01, 0x33, 0x41, 0xFF});
  bus.Ask({0x04, 0x01, 0x00, 0x33, 0x42, 0xFF});  // meant for somebody else
  const auto answers = peer.StateAnswers();
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].mode, 2);
  EXPECT_EQ(answers[0].launchMode, 1);
  EXPECT_EQ(answers[0].from, 0x33);
}

TEST(PeerDevice, StopsAShowAsASecondProgramWould) {
  RawBus bus;
  auto& peer = bus.Add<PeerDevice>(Peer(0x41));
  peer.SendStop(4000);
  const uint64_t at = bus.segment.Poll();
  bus.Wait(20);
  EXPECT_EQ(bus.Drain(), Join(Reply(0x90, 0x00, 0x28, 0x00, 0x00, 0x00), Reply(0x11, 0x00, 0x28, 0x41, 0x00, 0xFF)));
  const auto starts = bus.DeviceStarts();
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_GE(starts[0], at);
  EXPECT_EQ(starts[1], starts[0] + WireTimeUs(7) + 2000);
}

TEST(PeerDevice, SwitchedOffItAnswersNothingAndForgetsWhatItMeantToSay) {
  RawBus bus;
  auto& peer = bus.Add<PeerDevice>(Peer(0x41));
  peer.SendStop();
  bus.segment.SetDevicePowered(peer, false);
  peer.PowerChanged(false);
  EXPECT_TRUE(bus.Ask({0x01, 0x00, 0x00, 0x22, 0x00, 0xFF}, 200).empty());
  bus.segment.SetDevicePowered(peer, true);
  peer.PowerChanged(true);
  bus.Wait(10);
  EXPECT_TRUE(bus.Drain().empty());
}

}  // namespace
}  // namespace fd::sim
