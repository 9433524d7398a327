// The port over the virtual bench: the echo check, reading with time-outs, and losing and
// regaining the converter, with exact virtual times.
#include <gtest/gtest.h>

#include <vector>

#include "bus/bus_frame.h"
#include "bus/usb_port.h"
#include "platform/virtual_platform.h"
#include "sim/bench_driver.h"
#include "sim/bus_segment.h"
#include "sim/scripted_device.h"

namespace fd::bus {
namespace {

using Bytes = std::vector<uint8_t>;
using sim::ScriptedDevice;

const Frame6 kRequest{0x80, 0x00, 0x01, 0x02, 0x03, 0x05};
const Frame6 kAnswer{0x7F, 0x00, 0x31, 0x36, 0x35, 0x05};

// The segment is made at virtual time 0, so bench time is the clock's elapsed time.
class PortOnBench : public ::testing::Test {
 protected:
  int SendRequest(int converter = 0) {
    const BusFrame f = MakeBusFrame(kRequest);
    return port.Send(f.data(), 7, converter);
  }
  uint64_t Now() const { return clock.Elapsed(); }

  platform::VirtualClock clock;
  sim::BusSegment segment{clock, 1};
  sim::BenchDriver driver{segment};
  TUSBPort port{driver, clock, 1};
};

TEST_F(PortOnBench, SendSucceedsWithTheFullEcho) {
  ASSERT_TRUE(port.Open());
  const uint64_t t0 = Now();
  EXPECT_EQ(SendRequest(), 7);
  // The 2 ms gap, then the seventh echo byte lands 3.646 ms after the write.
  EXPECT_EQ(Now() - t0, 6u);
  const auto log = segment.WireLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].startUs, (t0 + 2) * 1000);
  EXPECT_EQ(log[0].bytes, ScriptedDevice::FrameBytes(kRequest));
  EXPECT_EQ(port.BytesAvailable(), 0);  // the echo was taken, nothing left over
}

// The echo window is 50 ms, read in 20 ms read time-outs: three reads, so a failed echo is
// reported 2 + 60 ms after the call.
TEST_F(PortOnBench, SendFailsAfterTheEchoWindowWithoutEcho) {
  ASSERT_TRUE(port.Open());
  segment.SetEcho(0, false);
  const uint64_t t0 = Now();
  EXPECT_EQ(SendRequest(), -2);
  EXPECT_EQ(Now() - t0, 62u);
  EXPECT_EQ(SendRequest(), -2);  // every time
  EXPECT_EQ(Now() - t0, 124u);
}

TEST_F(PortOnBench, SendFailsOnAShortEcho) {
  ASSERT_TRUE(port.Open());
  segment.DropReceived(0, 2);
  const uint64_t t0 = Now();
  EXPECT_EQ(SendRequest(), -2);
  EXPECT_EQ(Now() - t0, 62u);
}

TEST_F(PortOnBench, SendComparesTheFirstEchoedByteOnly) {
  ASSERT_TRUE(port.Open());
  segment.CorruptReceived(0, 1);
  uint64_t t0 = Now();
  EXPECT_EQ(SendRequest(), -2);
  EXPECT_EQ(Now() - t0, 6u);  // all seven came back, the first one changed

  // A change in a later byte goes unnoticed: only the first byte is compared.
  ScriptedDevice noise;
  segment.AttachDevice(noise);
  const BusFrame f = MakeBusFrame(kRequest);
  t0 = Now();
  const uint64_t writeUs = (t0 + 2) * 1000;
  segment.Inject({0x00}, writeUs + 2 * 521);  // lands on byte 2 of ours
  EXPECT_EQ(port.Send(f.data(), 7, 0), 7);
  segment.DetachDevice(noise);
  EXPECT_TRUE(segment.WireLog().back().collided);
}

TEST_F(PortOnBench, SendDiscardsUnreadInputFirst) {
  ASSERT_TRUE(port.Open());
  ScriptedDevice talker;
  segment.AttachDevice(talker);
  talker.SpeakAt(segment.NowUs(), ScriptedDevice::FrameBytes(kAnswer));
  clock.Sleep(10);
  ASSERT_EQ(port.BytesAvailable(), 7);  // somebody else's frame, not read
  // Were it left in place, the echo check would read it first and fail on 0x7F.
  EXPECT_EQ(SendRequest(), 7);
  EXPECT_EQ(port.BytesAvailable(), 0);
  segment.DetachDevice(talker);
}

TEST_F(PortOnBench, AShortReadReturnsWhatCameAfterTheReadTimeOut) {
  ASSERT_TRUE(port.Open());
  ScriptedDevice talker;
  segment.AttachDevice(talker);
  talker.SpeakAt(segment.NowUs() + 1000, {0x7F, 0x01, 0x02});
  uint8_t buffer[7] = {};
  const uint64_t t0 = Now();
  EXPECT_EQ(port.Read(buffer, 7, 0), 3);
  EXPECT_EQ(Now() - t0, 20u);
  EXPECT_EQ(buffer[0], 0x7F);
  EXPECT_EQ(buffer[2], 0x02);

  // A reply that completes in time ends the read when its last byte lands.
  talker.AddRule(ScriptedDevice::Reply(0x80, 5, kAnswer, 1000));
  ASSERT_EQ(SendRequest(), 7);
  const uint64_t t1 = Now();
  int converter = -1;
  EXPECT_EQ(port.ReadAny(buffer, 7, converter), 7);
  EXPECT_EQ(converter, 0);
  // From the write: the echo read returned at 4 ms, the answer starts 1 ms after the request's end
  // (3.646 ms) and its last byte lands at 8.29 ms, seen at 9 ms.
  EXPECT_EQ(Now() - t1, 5u);
  EXPECT_TRUE(FrameCrcMatches(buffer));
  segment.DetachDevice(talker);
}

TEST_F(PortOnBench, ReadAnyWithNoDataReturnsZeroAndNoConverter) {
  ASSERT_TRUE(port.Open());
  uint8_t buffer[7];
  int converter = 3;
  const uint64_t t0 = Now();
  EXPECT_EQ(port.ReadAny(buffer, 7, converter), 0);
  EXPECT_EQ(converter, -1);
  EXPECT_EQ(Now() - t0, 20u);
}

TEST_F(PortOnBench, NoConverterMeansMinusOneWithoutSleeping) {
  segment.Unplug(0);
  EXPECT_FALSE(port.Open());
  const uint64_t t0 = Now();
  const BusFrame f = MakeBusFrame(kRequest);
  EXPECT_EQ(port.Send(f.data(), 7, 0), -1);
  EXPECT_EQ(port.Send(f.data(), 7, -1), -1);
  EXPECT_EQ(Now(), t0);
  EXPECT_EQ(port.BytesAvailable(), 0);
  EXPECT_TRUE(segment.WireLog().empty());
}

TEST_F(PortOnBench, UnopenableConverterIsOpenButItsStatusFails) {
  segment.SetOpenable(0, false);
  EXPECT_TRUE(port.Open());
  EXPECT_EQ(port.BytesAvailable(), -1);
  EXPECT_EQ(SendRequest(), -2);
  EXPECT_TRUE(segment.WireLog().empty());
  segment.SetOpenable(0, true);
  EXPECT_TRUE(port.Reopen());
  EXPECT_EQ(port.BytesAvailable(), 0);
  EXPECT_EQ(SendRequest(), 7);
}

TEST_F(PortOnBench, ReopenFailsWhileUnpluggedAndSucceedsOnceReplugged) {
  ASSERT_TRUE(port.Open());
  segment.Unplug(0);
  EXPECT_EQ(port.BytesAvailable(), -1);  // how the engine notices the loss
  EXPECT_EQ(SendRequest(), -2);          // stale handle
  EXPECT_FALSE(port.Reopen());
  EXPECT_FALSE(port.Opened);
  EXPECT_FALSE(port.Reopen());
  EXPECT_EQ(port.BytesAvailable(), 0);
  segment.Replug(0);
  EXPECT_TRUE(port.Reopen());
  EXPECT_EQ(port.BytesAvailable(), 0);
  EXPECT_EQ(SendRequest(), 7);
}

class TwoConvertersOnBench : public PortOnBench {
 protected:
  sim::BusSegment segment2{clock, 2};
  sim::BenchDriver driver2{segment2};
};

TEST_F(TwoConvertersOnBench, LimitOneListsAndUsesOnlyDeviceZero) {
  TUSBPort limited(driver2, clock, 1);
  ASSERT_TRUE(limited.Open());
  EXPECT_EQ(limited.ConverterCount(), 1);
  const BusFrame f = MakeBusFrame(kRequest);
  EXPECT_EQ(limited.Send(f.data(), 7, -1), 7);
  const auto log = segment2.WireLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].converter, 0);
  // Converter 1 was never opened: another program can still have it.
  sim::BenchDriver other(segment2);
  uint32_t count = 0;
  ASSERT_EQ(other.ListCount(count), FT_OK);
  FT_HANDLE h = 0;
  EXPECT_EQ(other.Open(0, h), FT_DEVICE_NOT_OPENED);
  EXPECT_EQ(other.Open(1, h), FT_OK);

  // With the limit 2 both are used; a send to all goes out on each in turn.
  TUSBPort both(driver2, clock, 2);
  EXPECT_TRUE(both.Open());
  EXPECT_EQ(both.ConverterCount(), 2);
  EXPECT_EQ(both.BytesAvailable(), -1);  // converter 1 is held by the other program
}

}  // namespace
}  // namespace fd::bus
