// Scenario records: the three record generations on the wire and their read-back.
#include <gtest/gtest.h>

#include "fake_engine_fixture.h"

namespace fd::bus::testing {
namespace {

using Records = FakeEngine;

// Answers a record write with the same data, as a console that stored it does.
void EchoWrites(FakePort& port) {
  port.onSend = [&port](const std::vector<uint8_t>& b, int) {
    if (b[0] == 0x91) port.DeliverFrame({0x6E, b[1], b[2], b[3], b[4], b[5]}, 0, 2);
  };
}

TEST_F(Records, WriteRecordWorkedExampleAndItsReadBack) {
  EchoWrites(*port);
  EXPECT_EQ(engine->WriteRecord(9, 0, 12345, -1, 0), kBusOk);
  ASSERT_EQ(Wire().size(), 1u);
  EXPECT_EQ(Wire()[0], WithCrc({0x91, 0x00, 0x7B, 0x01, 0x44, 0x09}));

  port->Answer(0x92, {0x6D, 0x00, 0x7B, 0x01, 0x44, 0x09});
  int time = 0, channel = -5;
  EXPECT_EQ(engine->ReadRecordFine(9, 0, -1, 0, time, channel), kBusOk);
  EXPECT_EQ(time, 12344);  // the odd millisecond is not stored
  EXPECT_EQ(channel, 0);
  EXPECT_EQ(Wire().back(), WithCrc({0x92, 0x00, 0x00, 0x01, 0x00, 0x09}));
  EXPECT_EQ(engine->ReadRecord(9, 0, -1, 0, time, channel), kBusOk);
  EXPECT_EQ(time, 12340);
  EXPECT_EQ(engine->ReadRecordTime(9, 0, -1, 0, time), kBusOk);
  EXPECT_EQ(time, 12340);
}

TEST_F(Records, WriteRecordChecksTheEchoedContents) {
  port->onSend = [this](const std::vector<uint8_t>& b, int) {
    port->DeliverFrame({0x6E, b[1], b[2], b[3], static_cast<uint8_t>(b[4] ^ 0x10), b[5]}, 0, 2);
  };
  EXPECT_EQ(engine->WriteRecord(9, 0, 12345, -1, 0), kBusMismatch);
  port->onSend = nullptr;
  EXPECT_EQ(engine->WriteRecord(9, 0, 12345, -1, 0), kBusNoReply);
}

TEST_F(Records, OlderConsolesGetNoTwoMillisecondDigitAndAPause) {
  const uint64_t before = Now();
  EXPECT_EQ(engine->WriteRecordNoReply(9, 0, 12345, 0), kBusOk);
  EXPECT_GE(Now() - before, 70u);
  EXPECT_EQ(Wire()[0], WithCrc({0x91, 0x00, 0x7B, 0x01, 0x40, 0x09}));
  // The pause comes whatever the result.
  port->sendResult = -2;
  const uint64_t again = Now();
  EXPECT_EQ(engine->WriteRecordNoReply(9, 0, 12345, 0), kBusTransferError);
  EXPECT_GE(Now() - again, 70u);
}

TEST_F(Records, ChannelNumbersFrom256OnSetTheNinthBit) {
  struct Case {
    int index;
    uint8_t byte3, byte4;
  } cases[] = {{-1, 0x00, 0x00}, {254, 0xFF, 0x00}, {255, 0x00, 0x01}, {300, 0x2D, 0x01}, {510, 0xFF, 0x01}};
  for (const auto& c : cases) {
    EXPECT_EQ(engine->WriteRecordNoReply(9, c.index, 0, 0), kBusOk);
    EXPECT_EQ(Wire().back(), WithCrc({0x91, 0, 0, c.byte3, c.byte4, 0x09})) << c.index;
    int time = 0;
    engine->ReadRecordTime(9, c.index, -1, 0, time);
    EXPECT_EQ(Wire().back(), WithCrc({0x92, 0, 0, c.byte3, c.byte4, 0x09})) << c.index;
  }
  // The ninth bit sits under the 10 ms digit.
  EchoWrites(*port);
  EXPECT_EQ(engine->WriteRecord(9, 300, 6553599, -1, 0), kBusOk);
  EXPECT_EQ(Wire().back(), WithCrc({0x91, 0xFF, 0xFF, 0x2D, 0x91 + 8, 0x09}));
}

TEST_F(Records, ReadBackDecodesTheNinthBitAndDigits) {
  port->Answer(0x92, {0x6D, 0x01, 0x00, 0x2D, 0x9B, 0x09});
  int time = 0, channel = 0;
  EXPECT_EQ(engine->ReadRecordFine(9, 41, -1, 0, time, channel), kBusOk);
  EXPECT_EQ(time, 25600 + 90 + 0x0A);
  EXPECT_EQ(channel, 300);
  EXPECT_EQ(Wire().back(), WithCrc({0x92, 0, 0, 42, 0, 0x09}));
  EXPECT_EQ(engine->ReadRecord(9, 299, -1, 0, time, channel), kBusOk);
  EXPECT_EQ(time, 25690);
  EXPECT_EQ(Wire().back(), WithCrc({0x92, 0, 0, 0x2C, 0x01, 0x09}));  // slot 300, 16-bit

  port->onSend = nullptr;
  time = channel = 77;
  EXPECT_EQ(engine->ReadRecord(9, 0, -1, 0, time, channel), kBusNoReply);
  EXPECT_EQ(time, 77);
  EXPECT_EQ(channel, 77);
}

TEST_F(Records, RecordsThatDoNotFitAreRefusedWithoutSending) {
  int time = 0, channel = 0;
  // Channel indexes above 510 have no ninth-bit form: sending one would store channel n - 512.
  EXPECT_EQ(engine->WriteRecordNoReply(9, 511, 0, 0), kBusRefused);
  EXPECT_EQ(engine->WriteRecord(9, 511, 0, -1, 0), kBusRefused);
  EXPECT_EQ(engine->ReadRecordTime(9, 511, -1, 0, time), kBusRefused);
  EXPECT_EQ(engine->WriteRecord(9, -2, 0, -1, 0), kBusRefused);
  // 6553600 ms is 65536 tenths: one past the field.
  EXPECT_EQ(engine->WriteRecord(9, 0, 6553600, -1, 0), kBusRefused);
  EXPECT_EQ(engine->WriteRecord(9, 0, -100, -1, 0), kBusRefused);
  EXPECT_EQ(engine->ReadRecord(9, -1, -1, 0, time, channel), kBusRefused);
  EXPECT_EQ(engine->ReadRecordFine(9, 65535, -1, 0, time, channel), kBusRefused);
  EXPECT_EQ(engine->WriteRecord(256, 0, 0, -1, 0), kBusRefused);
  EXPECT_TRUE(Wire().empty());
  // The last time that fits: 6553500 ms marks unused records.
  EchoWrites(*port);
  EXPECT_EQ(engine->WriteRecord(9, 0, 6553500, -1, 0), kBusOk);
  EXPECT_EQ(Wire().back(), WithCrc({0x91, 0xFF, 0xFF, 0x01, 0x00, 0x09}));
}

TEST_F(Records, WriteMotorRecordWritesThreeRecordsPerCue) {
  EchoWrites(*port);
  EXPECT_EQ(engine->WriteMotorRecord(0x21, 12345, 53, 10, 20, -1, 0), kBusOk);
  ASSERT_EQ(Wire().size(), 3u);
  EXPECT_EQ(Wire()[0], WithCrc({0x91, 0x00, 0x7B, 20, 0, 0x21}));
  EXPECT_EQ(Wire()[1], WithCrc({0x91, 0x00, 0x7B, 10, 1, 0x21}));
  EXPECT_EQ(Wire()[2], WithCrc({0x91, 0x00, 0x7B, 0x81, 2, 0x21}));

  EXPECT_EQ(engine->WriteMotorRecord(0x21, 100, 50, 7, 99, -1, 0), kBusOk);
  EXPECT_EQ(Wire()[3], WithCrc({0x91, 0x00, 0x01, 7, 0, 0x21}));
  EXPECT_EQ(Wire()[4], WithCrc({0x91, 0x00, 0x01, 0, 1, 0x21}));
  EXPECT_EQ(Wire()[5], WithCrc({0x91, 0x00, 0x01, 0x98, 2, 0x21}));
}

TEST_F(Records, WriteMotorRecordStopsAtTheFirstFailure) {
  int writes = 0;
  port->onSend = [&](const std::vector<uint8_t>& b, int) {
    ++writes;
    // The second record comes back changed.
    const uint8_t d3 = writes == 2 ? static_cast<uint8_t>(b[3] + 1) : b[3];
    port->DeliverFrame({0x6E, b[1], b[2], d3, b[4], b[5]}, 0, 2);
  };
  EXPECT_EQ(engine->WriteMotorRecord(0x21, 500, 54, 1, 2, -1, 0), kBusMismatch);
  EXPECT_EQ(Wire().size(), 2u);
  port->onSend = nullptr;
  EXPECT_EQ(engine->WriteMotorRecord(0x21, 500, 54, 1, 2, -1, 0), kBusNoReply);
  EXPECT_EQ(Wire().size(), 3u);
}

TEST_F(Records, WriteMotorRecordRefusesKindsThatAreNotMotionCues) {
  EchoWrites(*port);
  for (int kind : {0, 1, 49, 55, 100})
    EXPECT_EQ(engine->WriteMotorRecord(0x21, 500, kind, 1, 2, -1, 0), kBusRefused) << kind;
  EXPECT_EQ(engine->WriteMotorRecord(0x21, 500, 50, 256, 0, -1, 0), kBusRefused);
  EXPECT_EQ(engine->WriteMotorRecord(0x21, 6553600, 50, 1, 0, -1, 0), kBusRefused);
  EXPECT_TRUE(Wire().empty());
}

// A motor console's memory: three records per cue, answered by slot number.
class MotorMemory {
 public:
  explicit MotorMemory(FakePort& port) : port_(port) {
    port_.onSend = [this](const std::vector<uint8_t>& b, int) {
      if (b[0] != 0x92) return;
      const int slot = b[3] + 256 * b[4];
      auto it = slots.find(slot);
      if (it != slots.end()) port_.DeliverFrame(it->second, 0, 2);
    };
  }
  void Store(int cue, int tenths, uint8_t v0, uint8_t v1, uint8_t v2) {
    const uint8_t hi = static_cast<uint8_t>(tenths >> 8), lo = static_cast<uint8_t>(tenths & 0xFF);
    slots[3 * cue + 1] = {0x6D, hi, lo, v0, 0, 0x21};
    slots[3 * cue + 2] = {0x6D, hi, lo, v1, 1, 0x21};
    slots[3 * cue + 3] = {0x6D, hi, lo, v2, 2, 0x21};
  }
  std::map<int, Frame6> slots;

 private:
  FakePort& port_;
};

TEST_F(Records, ReadMotorRecordDecodesEachKind) {
  MotorMemory memory(*port);
  memory.Store(0, 123, 20, 10, 0x81);  // LT
  memory.Store(1, 200, 7, 0, 0x98);    // C
  memory.Store(100, 1, 9, 0, 0x91);    // RT, slots 301..303
  int time = 0, kind = 0, p1 = 0, p2 = 0;
  EXPECT_EQ(engine->ReadMotorRecord(0x21, 0, -1, 0, time, kind, p1, p2), kBusOk);
  EXPECT_EQ(time, 12300);
  EXPECT_EQ(kind, 53);
  EXPECT_EQ(p1, 10);
  EXPECT_EQ(p2, 20);
  EXPECT_EQ(Wire()[0], WithCrc({0x92, 0, 0, 1, 0, 0x21}));
  EXPECT_EQ(Wire()[2], WithCrc({0x92, 0, 0, 3, 0, 0x21}));

  EXPECT_EQ(engine->ReadMotorRecord(0x21, 1, -1, 0, time, kind, p1, p2), kBusOk);
  EXPECT_EQ(time, 20000);
  EXPECT_EQ(kind, 50);
  EXPECT_EQ(p1, 7);
  EXPECT_EQ(p2, 0);

  EXPECT_EQ(engine->ReadMotorRecord(0x21, 100, -1, 0, time, kind, p1, p2), kBusOk);
  EXPECT_EQ(Wire().back(), WithCrc({0x92, 0, 0, 0x2F, 0x01, 0x21}));  // slot 303
  EXPECT_EQ(kind, 54);
  EXPECT_EQ(p1, 0);
  EXPECT_EQ(p2, 9);
}

TEST_F(Records, ReadMotorRecordChecksTheGroup) {
  MotorMemory memory(*port);
  memory.Store(0, 123, 20, 10, 0x81);
  memory.slots[2][2] = 124;          // record 1 carries another time
  memory.Store(1, 200, 7, 0, 0x55);  // no motion sub-code in record 2
  memory.Store(2, 300, 7, 0, 0x94);
  memory.slots.erase(8);  // record 1 of cue 2 missing
  int time = -1, kind = -1, p1 = -1, p2 = -1;
  EXPECT_EQ(engine->ReadMotorRecord(0x21, 0, -1, 0, time, kind, p1, p2), kBusGroupDisagrees);
  EXPECT_EQ(kind, -1);
  // A group without a motion command was read fine: it holds no motor cue (kind 0), whatever
  // kind an earlier read delivered.
  kind = 53;
  EXPECT_EQ(engine->ReadMotorRecord(0x21, 1, -1, 0, time, kind, p1, p2), kBusOk);
  EXPECT_EQ(time, 20000);
  EXPECT_EQ(kind, 0);
  EXPECT_EQ(p1, 0);
  EXPECT_EQ(p2, 0);
  time = kind = p1 = p2 = -1;
  EXPECT_EQ(engine->ReadMotorRecord(0x21, 2, -1, 0, time, kind, p1, p2), kBusNoReply);
  EXPECT_EQ(Wire().size(), 3u + 3u + 2u);  // the third group stops at its missing record
  EXPECT_EQ(time, -1);
  EXPECT_EQ(kind, -1);
  EXPECT_EQ(p1, -1);
  EXPECT_EQ(p2, -1);
  EXPECT_EQ(engine->ReadMotorRecord(0x21, -1, -1, 0, time, kind, p1, p2), kBusRefused);
}

}  // namespace
}  // namespace fd::bus::testing
