// Exchange details on the fake port: reply checks, windows, failed transmissions, several converters.
// The windows and repetition over the real port and medium are in test_tport_bench.cpp.
#include <gtest/gtest.h>

#include "bus/tport_test_hook.h"
#include "fake_engine_fixture.h"

namespace fd::bus::testing {
namespace {

class Exchange : public FakeEngine {
 protected:
  explicit Exchange(int converters = 1) : FakeEngine(converters) {
    engine->OnFrameSent = [this](const Frame6& f) { sentEvents.push_back(f); };
    engine->OnFrameReceived = [this](const Frame6& f) { receivedEvents.push_back(f); };
  }
  const Frame6 request{0x85, 0, 0, 0, 0, 0x04};
  const Frame6 answer{0x7A, 1, 2, 3, 4, 0x04};
  std::vector<Frame6> sentEvents, receivedEvents;
};

// A transmission takes 6 ms on the fake port.
constexpr uint64_t kSend = 6;

TEST_F(Exchange, AnsweredExchangeReturnsTheReplyAndReportsIt) {
  port->Answer(0x85, {0x7A, 1, 2, 3, 4, 0x99});  // the address byte is not compared
  Frame6 reply{};
  EXPECT_EQ(engine->Exchange(request, 0x7A, 0, 0, reply), kBusOk);
  EXPECT_EQ(reply, (Frame6{0x7A, 1, 2, 3, 4, 0x99}));
  EXPECT_EQ(port->sent.size(), 1u);
  ASSERT_EQ(receivedEvents.size(), 1u);
  EXPECT_EQ(receivedEvents[0], reply);
  EXPECT_EQ(port->sent[0].bytes, WithCrc(request));
}

TEST_F(Exchange, ALateAnswerToTheSecondTransmissionIsHeardInTheThirdWindow) {
  int sends = 0;
  port->onSend = [&](const std::vector<uint8_t>&, int) {
    if (++sends == 2) port->DeliverFrame(answer, 0, 120);
  };
  Frame6 reply{};
  EXPECT_EQ(engine->Exchange(request, 0x7A, 0, 0, reply), kBusOk);
  EXPECT_EQ(reply, answer);
  EXPECT_EQ(port->sent.size(), 2u);
}

TEST_F(Exchange, TheSecondTransmissionsResultIsNotExamined) {
  // The repeat goes out unconfirmed (no echo), yet the engine still listens twice more and takes
  // the answer that comes in the last window.
  int sends = 0;
  port->onSend = [&](const std::vector<uint8_t>&, int) {
    if (++sends == 2) {
      port->sendResult = -2;
      port->DeliverFrame(answer, 0, 120);
    }
  };
  Frame6 reply{};
  EXPECT_EQ(engine->Exchange(request, 0x7A, 0, 0, reply), kBusOk);
  EXPECT_EQ(reply, answer);
  EXPECT_EQ(port->sent.size(), 2u);
  EXPECT_EQ(sentEvents, (std::vector<Frame6>{request, request}));
  ASSERT_EQ(receivedEvents.size(), 1u);

  // Without an answer the result is that of the last window, not of the failed repeat.
  sends = 0;
  port->sendResult = -100;
  sentEvents.clear();
  port->onSend = [&](const std::vector<uint8_t>&, int) {
    if (++sends == 2) port->sendResult = -2;
  };
  const uint64_t before = Now();
  EXPECT_EQ(engine->Exchange(request, 0x7A, 0, 0, reply), kBusNoReply);
  EXPECT_EQ(sentEvents.size(), 2u);
  EXPECT_GE(Now() - before, 2 * kSend + 3 * 70);
  port->sendResult = -100;
}

TEST_F(Exchange, TheWindowCoversHuntAndRestTogether) {
  // The reply start comes at 60 ms, the rest only at 100 ms: too late for the 70 ms window.
  port->onSend = [&](const std::vector<uint8_t>&, int) {
    const BusFrame f = MakeBusFrame(answer);
    port->Deliver({f[0]}, 0, 60);
    port->Deliver({f.begin() + 1, f.end()}, 0, 100);
  };
  Frame6 reply{};
  EXPECT_EQ(engine->Exchange(request, 0x7A, -1, 0, reply), kBusTransferError);
  // What was collected stays in the byte stream: it may be the start of somebody else's frame.
  EXPECT_EQ(TPortTestHook(*engine).RxBytes(), Bytes({0x7A}));
  // A longer reply time-out lets the same answer in.
  engine->ReplyTimeout = 150;
  EXPECT_EQ(engine->Exchange(request, 0x7A, -1, 0, reply), kBusOk);
  EXPECT_EQ(reply, answer);
}

TEST_F(Exchange, FailedTransmissionsSkipListeningButStillReportTheFrame) {
  Frame6 reply{};
  struct Case {
    int sendResult;
    int expected;
  } cases[] = {{-2, kBusTransferError}, {3, kBusTransferError}, {0, kBusNotOpen}, {-1, kBusNotOpen}};
  for (const auto& c : cases) {
    port->sendResult = c.sendResult;
    sentEvents.clear();
    const uint64_t before = Now();
    EXPECT_EQ(engine->Exchange(request, 0x7A, 0, 0, reply), c.expected) << c.sendResult;
    EXPECT_EQ(sentEvents.size(), 1u);
    EXPECT_EQ(Now() - before, kSend);  // no listening window after a failed transmission
    EXPECT_EQ(engine->SendFrame(request, 0), c.expected) << c.sendResult;
  }
  port->sendResult = -100;
  port->Close();
  sentEvents.clear();
  EXPECT_EQ(engine->Exchange(request, 0x7A, 0, 0, reply), kBusNotOpen);
  EXPECT_EQ(sentEvents.size(), 1u);  // reported even though the port is closed
}

class ExchangeTwoConverters : public Exchange {
 protected:
  ExchangeTwoConverters() : Exchange(2) {}
};

TEST_F(ExchangeTwoConverters, ExchangeAnyReportsTheConverterThatAnswered) {
  port->onSend = [&](const std::vector<uint8_t>&, int) { port->DeliverFrame(answer, 1, 3); };
  Frame6 reply{};
  int converter = 7;
  EXPECT_EQ(engine->ExchangeAny(request, 0x7A, converter, reply), kBusOk);
  EXPECT_EQ(converter, 1);
  EXPECT_EQ(reply, answer);
  EXPECT_EQ(port->sent[0].converter, -1);

  port->onSend = nullptr;
  converter = 7;
  EXPECT_EQ(engine->ExchangeAny(request, 0x7A, converter, reply), kBusNoReply);
  EXPECT_EQ(converter, -1);
  EXPECT_EQ(port->sent.size(), 2u);  // never repeated
}

TEST_F(ExchangeTwoConverters, ExchangeAnyKeepsForeignBytesWithTheirConverter) {
  port->onSend = [&](const std::vector<uint8_t>&, int) {
    port->Deliver({0x11, 0x22}, 0, 1);
    port->DeliverFrame(answer, 1, 5);
  };
  Frame6 reply{};
  int converter = -1;
  EXPECT_EQ(engine->ExchangeAny(request, 0x7A, converter, reply), kBusOk);
  EXPECT_EQ(converter, 1);
  TPortTestHook hook(*engine);
  EXPECT_EQ(hook.RxBytes(), Bytes({0x11, 0x22}));
  EXPECT_EQ(hook.RxConverters(), (std::vector<int>{0, 0}));
}

TEST_F(ExchangeTwoConverters, ExchangeOnOneConverterHearsOnlyThatConverter) {
  port->onSend = [&](const std::vector<uint8_t>&, int) { port->DeliverFrame(answer, 0, 3); };
  Frame6 reply{};
  EXPECT_EQ(engine->Exchange(request, 0x7A, -1, 1, reply), kBusNoReply);
  EXPECT_EQ(port->sent[0].converter, 1);
  EXPECT_EQ(engine->Exchange(request, 0x7A, -1, 0, reply), kBusOk);
}

}  // namespace
}  // namespace fd::bus::testing
