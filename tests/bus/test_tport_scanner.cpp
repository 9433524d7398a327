// Cutting unsolicited frames out of the receive buffer.
#include <gtest/gtest.h>

#include "bus/tport_test_hook.h"
#include "fake_engine_fixture.h"
#include "noise.h"

namespace fd::bus::testing {
namespace {

class Scanner : public FakeEngine {
 protected:
  TPortTestHook hook{*engine};
  const Frame6 version{0x80, 0x00, 0x01, 0x02, 0x03, 0x05};
};

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST_F(Scanner, OneFrameBecomesOneMessageWithItsConverter) {
  hook.PushReceived(Bytes({0x80, 0x00, 0x01, 0x02, 0x03, 0x05, 0x40}), 3);
  const auto batch = hook.CutMessages();
  ASSERT_EQ(batch.size(), 1u);
  EXPECT_EQ(batch[0].first, version);
  EXPECT_EQ(batch[0].second, 3);
  EXPECT_EQ(hook.RxCount(), 0);
}

TEST_F(Scanner, ARejectedCodeByteMovesTheScanOnByOneByte) {
  // A real frame whose address byte is chosen so that a 0x00 or 0xFF in front of it makes the
  // first seven bytes a CRC match too: the scanner must reject that and find the frame one later.
  for (uint8_t lead : {0x00, 0xFF}) {
    const uint8_t head[6] = {lead, 0x7A, 0x01, 0x02, 0x03, 0x04};
    const Frame6 real{0x7A, 0x01, 0x02, 0x03, 0x04, Crc8Maxim(head, 6)};
    const auto stream = Concat({Bytes({lead}), WithCrc(real)});
    ASSERT_TRUE(FrameCrcMatches(stream.data()));
    hook.PushReceived(stream, 4);
    const auto batch = hook.CutMessages();
    ASSERT_EQ(batch.size(), 1u) << int(lead);
    EXPECT_EQ(batch[0].first, real);
    EXPECT_EQ(batch[0].second, 4);
    EXPECT_EQ(hook.RxCount(), 0);
  }
}

TEST_F(Scanner, SixBytesOrFewerStayUntouched) {
  const auto partial = Bytes({0x80, 0x00, 0x01, 0x02, 0x03, 0x05});
  hook.PushReceived(partial, 1);
  EXPECT_TRUE(hook.CutMessages().empty());
  EXPECT_EQ(hook.RxBytes(), partial);
  engine->ExecutePass();
  EXPECT_EQ(hook.RxBytes(), partial);
  // The seventh byte completes the frame.
  std::vector<std::pair<Frame6, int>> messages;
  engine->OnMessage = [&](const Frame6& f, int c) { messages.push_back({f, c}); };
  hook.PushReceived({0x40}, 1);
  engine->ExecutePass();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, version);
  EXPECT_EQ(hook.RxCount(), 0);
}

TEST_F(Scanner, APassWithoutFrameKeepsTheLastSixBytesAndTheirConverters) {
  const auto noise = NoiseWithoutFrames(40, 11);
  hook.PushReceived({noise.begin(), noise.begin() + 30}, 0);
  hook.PushReceived({noise.begin() + 30, noise.end()}, 1);
  EXPECT_TRUE(hook.CutMessages().empty());
  EXPECT_EQ(hook.RxBytes(), std::vector<uint8_t>(noise.end() - 6, noise.end()));
  EXPECT_EQ(hook.RxConverters(), std::vector<int>(6, 1));
}

TEST_F(Scanner, AFrameSplitOverTwoPassesIsFound) {
  const auto noise = NoiseWithoutFrames(25, 5);
  const auto frame = WithCrc(version);
  hook.PushReceived(noise, 0);
  hook.PushReceived({frame.begin(), frame.begin() + 4}, 0);
  EXPECT_TRUE(hook.CutMessages().empty());
  hook.PushReceived({frame.begin() + 4, frame.end()}, 0);
  const auto batch = hook.CutMessages();
  ASSERT_EQ(batch.size(), 1u);
  EXPECT_EQ(batch[0].first, version);
}

TEST_F(Scanner, FramesInNoiseComeOutInOrder) {
  std::vector<uint8_t> stream;
  std::vector<Frame6> frames;
  std::vector<size_t> starts;
  for (int i = 0; i < 50; ++i) {
    const Frame6 f{0x7A, static_cast<uint8_t>(i), 2, 3, 4, 9};
    const auto w = WithCrc(f);
    // Noise of 0..8 bytes that forms no frame with its neighbours either.
    for (uint32_t seed = 100;; ++seed) {
      auto candidate = stream;
      const auto noise = NoiseWithoutFrames(static_cast<size_t>(i % 9), seed + 1000 * i);
      candidate.insert(candidate.end(), noise.begin(), noise.end());
      const size_t start = candidate.size();
      candidate.insert(candidate.end(), w.begin(), w.end());
      bool clean = true;
      const size_t from = stream.size() >= 6 ? stream.size() - 6 : 0;
      for (size_t pos = from; pos < start; ++pos) clean = clean && !FrameAt(candidate, pos);
      if (!clean) continue;
      stream = candidate;
      starts.push_back(start);
      break;
    }
    frames.push_back(f);
  }
  hook.PushReceived(stream, 2);
  const auto batch = hook.CutMessages();
  ASSERT_EQ(batch.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(batch[i].first, frames[i]);
  EXPECT_EQ(hook.RxCount(), 0);
}

TEST_F(Scanner, TheReceiveBufferNeverOverflows) {
  const auto zeros = std::vector<uint8_t>(TPort::kRxBufferSize + 100, 0x00);
  EXPECT_EQ(hook.PushReceived(zeros, 0), TPort::kRxBufferSize);
  EXPECT_EQ(hook.RxCount(), TPort::kRxBufferSize);

  // Foreign bytes heard during an exchange are dropped while it is full.
  port->onSend = [&](const std::vector<uint8_t>&, int) {
    port->Deliver({0x11, 0x22}, 0, 1);
    port->DeliverFrame({0x7A, 0, 0, 0, 0, 4}, 0, 3);
  };
  Frame6 reply{};
  EXPECT_EQ(engine->Exchange({0x85, 0, 0, 0, 0, 4}, 0x7A, -1, 0, reply), kBusOk);
  EXPECT_EQ(hook.RxCount(), TPort::kRxBufferSize);
}

}  // namespace
}  // namespace fd::bus::testing
