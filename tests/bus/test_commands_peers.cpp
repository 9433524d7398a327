// Broadcasts to the consoles and messages between operator programs.
#include <gtest/gtest.h>

#include "fake_engine_fixture.h"

namespace fd::bus::testing {
namespace {

class Peers : public FakeEngine {
 protected:
  Peers() : FakeEngine(2) {}
  const uint8_t me = InstanceNumber();
};

TEST_F(Peers, ShowBroadcastsCarryTheTimeInTenths) {
  EXPECT_EQ(engine->SyncRun(123456), kBusOk);
  EXPECT_EQ(engine->SyncStop(99), kBusOk);
  EXPECT_EQ(engine->AnnounceStart(25600), kBusOk);
  EXPECT_EQ(engine->AnnounceStop(0), kBusOk);
  ASSERT_EQ(Wire().size(), 4u);
  EXPECT_EQ(Wire()[0], WithCrc({0x90, 0x04, 0xD2, 0x80, 0x00, 0x00}));  // 1234 tenths
  EXPECT_EQ(Wire()[1], WithCrc({0x90, 0x00, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(Wire()[2], WithCrc({0x10, 0x01, 0x00, me, 0x00, 0xFF}));
  EXPECT_EQ(Wire()[3], WithCrc({0x11, 0x00, 0x00, me, 0x00, 0xFF}));
  for (auto& s : port->sent) EXPECT_EQ(s.converter, -1) << "broadcasts go out on every converter";
}

TEST_F(Peers, ShowTimesOutsideTheFieldAreClampedNotWrapped) {
  // 6553600 ms would wrap to tenth 0 and send autonomous consoles back to the start of their show.
  engine->SyncRun(6553600);
  engine->SyncRun(7000000);
  engine->SyncRun(-500);
  EXPECT_EQ(Wire()[0], WithCrc({0x90, 0xFF, 0xFF, 0x80, 0x00, 0x00}));
  EXPECT_EQ(Wire()[1], WithCrc({0x90, 0xFF, 0xFF, 0x80, 0x00, 0x00}));
  EXPECT_EQ(Wire()[2], WithCrc({0x90, 0x00, 0x00, 0x80, 0x00, 0x00}));
}

TEST_F(Peers, SweepAndAnswers) {
  EXPECT_EQ(engine->SendPeerSweep(), kBusOk);
  EXPECT_EQ(engine->SendPeerAnswer(2, 0x33), kBusOk);
  EXPECT_EQ(engine->SendStateAnswer(2, 1, 0x44), kBusOk);
  EXPECT_EQ(Wire()[0], WithCrc({0x01, 0x00, 0x00, me, 0x00, 0xFF}));
  EXPECT_EQ(Wire()[1], WithCrc({0x02, 0x02, 0x00, me, 0x33, 0xFF}));
  EXPECT_EQ(Wire()[2], WithCrc({0x04, 0x02, 0x01, me, 0x44, 0xFF}));
  EXPECT_EQ(engine->SendPeerAnswer(256, 1), kBusRefused);
  EXPECT_EQ(engine->SendStateAnswer(16, 0, 1), kBusRefused);
  EXPECT_EQ(Wire().size(), 3u);
}

TEST_F(Peers, SendFailuresAreReported) {
  port->sendResult = 5;  // a short transmission
  EXPECT_EQ(engine->SyncRun(0), kBusTransferError);
  port->sendResult = 0;  // nothing went out at all: not a success
  EXPECT_EQ(engine->SyncRun(0), kBusNotOpen);
  port->sendResult = -2;
  EXPECT_EQ(engine->SyncRun(0), kBusTransferError);
  port->Close();
  EXPECT_EQ(engine->SyncRun(0), kBusNotOpen);
}

TEST_F(Peers, QueryPeerListensThreeHundredMillisecondsOnThePeersConverter) {
  // The other program answers late, 250 ms after the query, on converter 1.
  port->onSend = [this](const std::vector<uint8_t>&, int) { port->DeliverFrame({0x02, 3, 0, 0x5A, me, 0xFF}, 1, 250); };
  int version = 0, instance = 0;
  EXPECT_EQ(engine->QueryPeer(0x5A, 1, version, instance), kBusOk);
  EXPECT_EQ(version, 3);
  EXPECT_EQ(instance, 0x5A);
  ASSERT_EQ(port->sent.size(), 1u);
  EXPECT_EQ(port->sent[0].bytes, WithCrc({0x01, 0x00, 0x00, me, 0x5A, 0xFF}));
  EXPECT_EQ(port->sent[0].converter, 1);
  EXPECT_EQ(engine->ReplyTimeout.load(), 70u);

  // One attempt only, the longer window, and the time-out restored afterwards.
  port->onSend = nullptr;
  engine->ReplyTimeout = 90;
  const uint64_t before = Now();
  EXPECT_EQ(engine->QueryPeer(0x5A, 1, version, instance), kBusNoReply);
  EXPECT_EQ(port->sent.size(), 2u);
  EXPECT_GE(Now() - before, 300u);
  EXPECT_LE(Now() - before, 300u + 6u + 20u);
  EXPECT_EQ(engine->ReplyTimeout.load(), 90u);
}

}  // namespace
}  // namespace fd::bus::testing
