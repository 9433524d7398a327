// Console and device commands: the bytes each one puts on the wire and how it reads the answer.
#include <gtest/gtest.h>

#include "fake_engine_fixture.h"

namespace fd::bus::testing {
namespace {

using Commands = FakeEngine;

TEST_F(Commands, ReadVersionWorkedExample) {
  port->Answer(0x80, {0x7F, 0x00, 0x31, 0x36, 0x34, 0x05});
  int version = 0;
  EXPECT_EQ(engine->ReadVersion(5, -1, 0, version), kBusOk);
  EXPECT_EQ(version, 0x164);
  EXPECT_EQ(version, 356);
  ASSERT_EQ(Wire().size(), 1u);
  EXPECT_EQ(Wire()[0], Bytes({0x80, 0x00, 0x01, 0x02, 0x03, 0x05, 0x40}));
}

TEST_F(Commands, ReadVersionDigitsAreHexadecimalAndAFailureLeavesTheVersion) {
  port->Answer(0x80, {0x7F, 0x00, '3', '6', 'b', 0x09});
  int version = 0;
  EXPECT_EQ(engine->ReadVersion(9, -1, 0, version), kBusOk);
  EXPECT_EQ(version, 0x36B);

  port->onSend = nullptr;
  version = 77;
  EXPECT_EQ(engine->ReadVersion(9, -1, 0, version), kBusNoReply);
  EXPECT_EQ(version, 77);
}

TEST_F(Commands, ReadHVParameterTakesByteThree) {
  port->Answer(0x82, {0x7D, 0x11, 0x22, 0x42, 0x33, 0x07});
  int value = -1;
  EXPECT_EQ(engine->ReadHVParameter(7, -1, 0, value), kBusOk);
  EXPECT_EQ(value, 0x42);
  EXPECT_EQ(Wire()[0], WithCrc({0x82, 0x01, 0xFD, 0x00, 0x00, 0x07}));
}

TEST_F(Commands, MeasureChannelSendsTheChannelNumberLittleEndian) {
  port->Answer(0x83, {0x7C, 0x00, 0x00, 0x12, 0x34, 0x07});
  double value = -5;
  // Channel index 299 is channel 300 = 0x012C on the wire.
  EXPECT_EQ(engine->MeasureChannel(7, 299, -1, 0, value), kBusOk);
  EXPECT_DOUBLE_EQ(value, 0x1234 / 1000.0);
  EXPECT_EQ(Wire()[0], WithCrc({0x83, 0x2C, 0x01, 0x00, 0x00, 0x07}));

  port->onSend = nullptr;
  value = -5;
  EXPECT_EQ(engine->MeasureChannel(7, 0, -1, 0, value), kBusNoReply);
  EXPECT_DOUBLE_EQ(value, -5);  // the device model keeps its old value
}

TEST_F(Commands, FireChannelWithoutReplySendsOnceForSingleAttempt) {
  double value = 3;
  EXPECT_EQ(engine->FireChannel(12, 2, false, -1, 0, value), kBusOk);
  EXPECT_DOUBLE_EQ(value, -1.0);
  ASSERT_EQ(Wire().size(), 1u);
  EXPECT_EQ(Wire()[0], Bytes({0x84, 0x03, 0x00, 0x80, 0x00, 0x0C, 0xB9}));
}

TEST_F(Commands, FireChannelWithoutReplySendsThreeTimesWhenRepetitionIsAllowed) {
  double value = 3;
  EXPECT_EQ(engine->FireChannel(12, 2, false, 0, 0, value), kBusOk);
  EXPECT_DOUBLE_EQ(value, -1.0);
  ASSERT_EQ(Wire().size(), 3u);
  for (auto& frame : Wire()) EXPECT_EQ(frame, Bytes({0x84, 0x03, 0x00, 0x80, 0x00, 0x0C, 0xB9}));
}

TEST_F(Commands, FireChannelReturnsTheLastSendResult) {
  port->sendResult = -2;
  double value = 3;
  EXPECT_EQ(engine->FireChannel(12, 2, false, 0, 0, value), kBusTransferError);
  EXPECT_EQ(Wire().size(), 3u);
  port->Close();
  EXPECT_EQ(engine->FireChannel(12, 2, false, -1, 0, value), kBusNotOpen);
}

TEST_F(Commands, FireChannelWithReplyDecodesTheCurrent) {
  port->Answer(0x84, {0x7B, 0x00, 0x00, 0x85, 0x10, 0x0C});
  double value = 0;
  EXPECT_EQ(engine->FireChannel(12, 0, true, -1, 0, value), kBusOk);
  EXPECT_DOUBLE_EQ(value, (5 * 256 + 0x10) / 1000.0);  // bit 7 of byte 3 is not part of it
  EXPECT_EQ(Wire()[0], WithCrc({0x84, 0x01, 0x00, 0x80, 0x80, 0x0C}));

  port->onSend = nullptr;
  value = 0;
  EXPECT_EQ(engine->FireChannel(12, 0, true, -1, 0, value), kBusNoReply);
  EXPECT_DOUBLE_EQ(value, -1.0);
}

TEST_F(Commands, FireChannelLevelCarriesFourteenBitLevels) {
  EXPECT_EQ(engine->FireChannelLevel(3, 4, 300, false, -1, 0), kBusOk);
  EXPECT_EQ(engine->FireChannelLevel(3, 4, 0, false, -1, 0), kBusOk);
  EXPECT_EQ(engine->FireChannelLevel(3, 4, 300, false, 1, 0), kBusOk);
  ASSERT_EQ(Wire().size(), 5u);
  EXPECT_EQ(Wire()[0], WithCrc({0x84, 0x05, 0x00, 0x82, 0x2C, 0x03}));
  EXPECT_EQ(Wire()[1], WithCrc({0x84, 0x05, 0x00, 0x80, 0x00, 0x03}));  // level 0: a plain firing
  EXPECT_EQ(Wire()[4], Wire()[0]);

  port->Answer(0x84, {0x7B, 0, 0, 0, 0, 0x03});
  EXPECT_EQ(engine->FireChannelLevel(3, 4, 300, true, -1, 0), kBusOk);
  EXPECT_EQ(Wire().back(), WithCrc({0x84, 0x05, 0x00, 0x82, 0xAC, 0x03}));
}

TEST_F(Commands, SetLevelIsTheChannelZeroFormWithTheReplyBit) {
  port->Answer(0x84, {0x7B, 0, 0, 0, 0, 0x03});
  EXPECT_EQ(engine->SetLevel(3, 16383, -1, 0), kBusOk);
  EXPECT_EQ(engine->SetLevel(3, 129, -1, 0), kBusOk);
  ASSERT_EQ(Wire().size(), 2u);
  EXPECT_EQ(Wire()[0], WithCrc({0x84, 0x00, 0x00, 0xFF, 0xFF, 0x03}));
  EXPECT_EQ(Wire()[1], WithCrc({0x84, 0x00, 0x00, 0x81, 0x81, 0x03}));
}

TEST_F(Commands, StatusAndHVStatusReadTheSameBytesDifferently) {
  port->Answer(0x85, {0x7A, 0x81, 0x00, 0x01, 0x02, 0x04});
  double v1 = -1, v2 = -1;
  uint8_t bit = 9;
  EXPECT_EQ(engine->ReadHVStatus(4, -1, 0, v1, v2, bit), kBusOk);
  EXPECT_DOUBLE_EQ(v1, 3302.4);
  EXPECT_DOUBLE_EQ(v2, 0.258);
  EXPECT_EQ(bit, 1);
  EXPECT_EQ(engine->ReadStatus(4, -1, 0, v1, v2, bit), kBusOk);
  EXPECT_DOUBLE_EQ(v1, 0.256);
  EXPECT_DOUBLE_EQ(v2, 0.258);
  EXPECT_EQ(bit, 1);
  for (auto& frame : Wire()) EXPECT_EQ(frame, WithCrc({0x85, 0, 0, 0, 0, 0x04}));
}

TEST_F(Commands, StatusBitZeroAndFailedStatusReadsAreZeroedAndMarkedNotReported) {
  port->Answer(0x85, {0x7A, 0x01, 0x00, 0x00, 0x00, 0x04});
  double v1 = -1, v2 = -1;
  uint8_t bit = 9;
  EXPECT_EQ(engine->ReadStatus(4, -1, 0, v1, v2, bit), kBusOk);
  EXPECT_EQ(bit, 0);

  port->onSend = nullptr;
  v1 = v2 = 7;
  bit = 1;
  EXPECT_EQ(engine->ReadStatus(4, -1, 0, v1, v2, bit), kBusNoReply);
  EXPECT_EQ(v1, 0);
  EXPECT_EQ(v2, 0);
  EXPECT_EQ(bit, 2);
  v1 = v2 = 7;
  bit = 1;
  EXPECT_EQ(engine->ReadHVStatus(4, -1, 0, v1, v2, bit), kBusNoReply);
  EXPECT_EQ(v1, 0);
  EXPECT_EQ(v2, 0);
  EXPECT_EQ(bit, 2);
}

TEST_F(Commands, HVStopAndTypeLetter) {
  port->Answer(0x88, {0x77, 0, 0, 0, 0, 0x06});
  EXPECT_EQ(engine->HVStop(6, -1, 0), kBusOk);
  EXPECT_EQ(Wire()[0], WithCrc({0x88, 0x01, 0x00, 0x01, 0x00, 0x06}));

  port->Answer(0x89, {0x76, 0x01, 0x02, 'H', 0x00, 0x06});
  int time = 0;
  char letter = 0;
  EXPECT_EQ(engine->ReadTypeLetter(6, -1, 0, time, letter), kBusOk);
  EXPECT_EQ(time, 258 * 100);
  EXPECT_EQ(letter, 'H');
  EXPECT_EQ(Wire()[1], WithCrc({0x89, 0, 0, 0, 0, 0x06}));
}

TEST_F(Commands, MotorCommandSubCodesAndParameterPlaces) {
  port->Answer(0x8C, {0x73, 0, 0, 0, 0, 0x21});
  struct Case {
    int kind;
    std::vector<uint8_t> wire;
  } cases[] = {
      {50, WithCrc({0x8C, 0x98, 10, 0, 0, 0x21})},  {51, WithCrc({0x8C, 0x94, 10, 0, 0, 0x21})},
      {52, WithCrc({0x8C, 0x92, 10, 0, 0, 0x21})},  {53, WithCrc({0x8C, 0x81, 20, 10, 0, 0x21})},
      {54, WithCrc({0x8C, 0x91, 20, 10, 0, 0x21})},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(engine->MotorCommand(0x21, c.kind, 10, 20, -1, 0), kBusOk) << c.kind;
    EXPECT_EQ(Wire().back(), c.wire) << c.kind;
  }
}

TEST_F(Commands, ReadReadingIsASignedTwoDigitNumber) {
  struct Case {
    uint8_t b1, b2, b3;
    double expected;
  } cases[] = {
      {'-', '1', '2', -12}, {'+', '1', '2', 12}, {0, '0', '7', 7},     {0, ' ', '7', 7},
      {'-', 'x', '2', 0},   {0, '1', 0, 0},      {'-', '9', '9', -99},
  };
  for (const auto& c : cases) {
    port->Answer(0x8D, {0x7F, c.b1, c.b2, c.b3, 0x00, 0x0A});
    double reading = 55;
    EXPECT_EQ(engine->ReadReading(10, -1, 0, reading), kBusOk);
    EXPECT_DOUBLE_EQ(reading, c.expected) << c.b1 << c.b2 << c.b3;
  }
  EXPECT_EQ(Wire().back(), WithCrc({0x8D, 0, 0, 0, 0, 0x0A}));

  port->onSend = nullptr;
  double reading = 55;
  EXPECT_EQ(engine->ReadReading(10, -1, 0, reading), kBusNoReply);
  EXPECT_EQ(reading, 0);
}

TEST_F(Commands, ReadReadingWaitsForTheVersionReplyCode) {
  // A frame under the complement of 0x8D (0x72) is not the answer.
  port->Answer(0x8D, {0x72, '-', '1', '2', 0x00, 0x0A});
  double reading = 55;
  EXPECT_EQ(engine->ReadReading(10, -1, 0, reading), kBusNoReply);
  EXPECT_EQ(reading, 0);
}

TEST_F(Commands, ReadChannelCountNeedsOkAndPausesAfterSuccess) {
  port->Answer(0x8F, {0x70, 'O', 'k', 0x01, 0x00, 0x0B});
  int count = -1;
  uint64_t before = Now();
  EXPECT_EQ(engine->ReadChannelCount(11, -1, 0, count), kBusOk);
  EXPECT_EQ(count, 256);
  EXPECT_GE(Now() - before, 200u);
  EXPECT_EQ(Wire()[0], WithCrc({0x8F, 0x01, 0x02, 0x03, 0x04, 0x0B}));

  port->Answer(0x8F, {0x70, 'N', 'o', 0x01, 0x00, 0x0B});
  EXPECT_EQ(engine->ReadChannelCount(11, -1, 0, count), kBusOk);
  EXPECT_EQ(count, 0);

  port->onSend = nullptr;
  count = 5;
  before = Now();
  EXPECT_EQ(engine->ReadChannelCount(11, -1, 0, count), kBusNoReply);
  EXPECT_EQ(count, 5);
  EXPECT_LT(Now() - before, 200u);  // one listening window, no pause
}

TEST_F(Commands, CheckAliveIsOneAttemptAndAlwaysPauses) {
  const uint64_t before = Now();
  EXPECT_EQ(engine->CheckAlive(11, 0), kBusNoReply);
  EXPECT_EQ(Wire().size(), 1u);
  EXPECT_GE(Now() - before, 200u + 70u);
  port->Answer(0x8F, {0x70, 'O', 'k', 0x00, 0x08, 0x0B});
  EXPECT_EQ(engine->CheckAlive(11, 0), kBusOk);
  EXPECT_EQ(Wire().back(), WithCrc({0x8F, 0x01, 0x02, 0x03, 0x04, 0x0B}));
}

TEST_F(Commands, ArgumentsThatDoNotFitTheirFieldsAreRefusedWithoutSending) {
  double value = 0;
  double v2 = 0;
  uint8_t bit = 0;
  int n = 0;
  EXPECT_EQ(engine->FireChannel(256, 0, false, -1, 0, value), kBusRefused);  // would fire console 0
  EXPECT_DOUBLE_EQ(value, -1.0);
  EXPECT_EQ(engine->FireChannel(-1, 0, false, -1, 0, value), kBusRefused);
  EXPECT_EQ(engine->FireChannel(12, -1, false, -1, 0, value), kBusRefused);  // channel 0 is the level form
  EXPECT_EQ(engine->FireChannel(12, 65535, false, -1, 0, value), kBusRefused);
  EXPECT_EQ(engine->FireChannelLevel(3, 0, 16384, false, -1, 0), kBusRefused);
  EXPECT_EQ(engine->FireChannelLevel(3, 0, -1, false, -1, 0), kBusRefused);
  EXPECT_EQ(engine->SetLevel(3, 16384, -1, 0), kBusRefused);
  EXPECT_EQ(engine->MeasureChannel(3, -1, -1, 0, value), kBusRefused);
  EXPECT_EQ(engine->MotorCommand(3, 0, 1, 2, -1, 0), kBusRefused);
  EXPECT_EQ(engine->MotorCommand(3, 55, 1, 2, -1, 0), kBusRefused);
  EXPECT_EQ(engine->MotorCommand(3, 50, 256, 0, -1, 0), kBusRefused);
  EXPECT_EQ(engine->ReadStatus(300, -1, 0, value, v2, bit), kBusRefused);
  EXPECT_EQ(bit, 2);
  EXPECT_EQ(engine->ReadVersion(-5, -1, 0, n), kBusRefused);
  EXPECT_TRUE(Wire().empty());
}

}  // namespace
}  // namespace fd::bus::testing
