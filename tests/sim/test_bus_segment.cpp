#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/steady_clock.h"
#include "platform/virtual_platform.h"
#include "sim/bench_driver.h"
#include "sim/bus_segment.h"
#include "sim/scripted_device.h"

namespace fd::sim {
namespace {

using bus::FT_HANDLE;
using bus::FT_OK;
using Bytes = std::vector<uint8_t>;

const bus::Frame6 kRequest{0x80, 0x00, 0x01, 0x02, 0x03, 0x05};
const bus::Frame6 kAnswer{0x7F, 0x00, 0x31, 0x36, 0x35, 0x05};

// A segment with two converters on the virtual clock, converter 0 opened like the port opens it.
class SegmentTest : public ::testing::Test {
 protected:
  void SetUp() override { h0 = OpenListed(0); }

  FT_HANDLE OpenListed(uint32_t index, uint32_t readTimeoutMs = 20) {
    FT_HANDLE h = 0;
    EXPECT_EQ(driver.Open(index, h), FT_OK);
    EXPECT_EQ(driver.SetTimeouts(h, readTimeoutMs, 20), FT_OK);
    return h;
  }
  uint64_t ElapsedMs() const { return clock.Elapsed(); }
  Bytes ReadBytes(FT_HANDLE h, uint32_t count) {
    Bytes buffer(count);
    uint32_t got = 0;
    EXPECT_EQ(driver.Read(h, buffer.data(), count, got), FT_OK);
    buffer.resize(got);
    return buffer;
  }
  void WriteBytes(FT_HANDLE h, const Bytes& bytes) {
    uint32_t written = 0;
    ASSERT_EQ(driver.Write(h, bytes.data(), static_cast<uint32_t>(bytes.size()), written), FT_OK);
    ASSERT_EQ(written, bytes.size());
  }
  uint32_t Queued(FT_HANDLE h) {
    uint32_t n = 0;
    EXPECT_EQ(driver.GetQueueStatus(h, n), FT_OK);
    return n;
  }

  platform::VirtualClock clock;
  BusSegment segment{clock, 2};
  BenchDriver driver{segment};
  FT_HANDLE h0 = 0;
};

TEST_F(SegmentTest, ListsConvertersWithBenchNames) {
  uint32_t count = 0;
  ASSERT_EQ(driver.ListCount(count), FT_OK);
  EXPECT_EQ(count, 2u);
  std::string serial, description;
  EXPECT_EQ(driver.ListSerialNumber(1, serial), FT_OK);
  EXPECT_EQ(serial, "BENCH0002");
  EXPECT_EQ(driver.ListDescription(0, description), FT_OK);
  EXPECT_EQ(description, "Virtual RS485 bench");
  EXPECT_NE(driver.ListSerialNumber(2, serial), FT_OK);
}

TEST_F(SegmentTest, EchoBytesArriveInOrderAtTheirWireTimes) {
  EXPECT_EQ(WireTimeUs(7), 3645u);  // 7 x 10 bits at 19200 baud: 3.646 ms
  const Bytes frame = ScriptedDevice::FrameBytes(kRequest);
  const uint64_t t0 = segment.NowUs();
  WriteBytes(h0, frame);
  EXPECT_EQ(Queued(h0), 0u);  // writing returns at once, nothing has arrived yet

  // Byte k has arrived at t0 + WireTimeUs(k + 1): 521, 1042, 1563, 2083, 2604, 3125, 3646 us.
  const uint32_t expected[] = {1, 3, 5, 7};
  for (uint32_t n : expected) {
    clock.Sleep(1);
    EXPECT_EQ(Queued(h0), n) << "at " << ElapsedMs() << " ms";
  }
  EXPECT_EQ(ReadBytes(h0, 7), frame);

  const auto log = segment.WireLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].source, WireRecord::Source::kConverter);
  EXPECT_EQ(log[0].startUs, t0);
  EXPECT_EQ(log[0].endUs - log[0].startUs, 3645u);
  EXPECT_FALSE(log[0].collided);
}

TEST_F(SegmentTest, ReadWaitsForTheCountOrTheTimeOut) {
  const Bytes frame = ScriptedDevice::FrameBytes(kRequest);
  WriteBytes(h0, frame);
  const uint64_t start = ElapsedMs();
  EXPECT_EQ(ReadBytes(h0, 7), frame);
  EXPECT_EQ(ElapsedMs() - start, 4u);  // the seventh byte lands at 3.646 ms

  // Only 3 bytes on their way: a 7-byte read gives them after the full 20 ms.
  WriteBytes(h0, Bytes{1, 2, 3});
  const uint64_t start2 = ElapsedMs();
  EXPECT_EQ(ReadBytes(h0, 7), (Bytes{1, 2, 3}));
  EXPECT_EQ(ElapsedMs() - start2, 20u);

  // A zero time-out does not wait at all.
  ASSERT_EQ(driver.SetTimeouts(h0, 0, 0), FT_OK);
  const uint64_t start3 = ElapsedMs();
  EXPECT_TRUE(ReadBytes(h0, 7).empty());
  EXPECT_EQ(ElapsedMs(), start3);
}

TEST_F(SegmentTest, ScriptedDeviceAnswersAfterItsDelayAndRecordsWhatItHeard) {
  auto& device = static_cast<ScriptedDevice&>(segment.AddDevice(std::make_unique<ScriptedDevice>()));
  device.AddRule(ScriptedDevice::Reply(0x80, 5, kAnswer, 2000));
  const uint64_t t0 = segment.NowUs();
  WriteBytes(h0, ScriptedDevice::FrameBytes(kRequest));

  Bytes expected = ScriptedDevice::FrameBytes(kRequest);
  const Bytes answer = ScriptedDevice::FrameBytes(kAnswer);
  expected.insert(expected.end(), answer.begin(), answer.end());
  const uint64_t start = ElapsedMs();
  EXPECT_EQ(ReadBytes(h0, 14), expected);
  // Request ends at 3645 us, the answer starts 2000 us later and ends at 9290 us.
  EXPECT_EQ(ElapsedMs() - start, 10u);

  const auto heard = device.HeardFrames();
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0].endUs, t0 + 3645);
  EXPECT_EQ(heard[0].frame, bus::MakeBusFrame(kRequest));

  const auto log = segment.WireLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1].source, WireRecord::Source::kDevice);
  EXPECT_EQ(log[1].device, &device);
  EXPECT_EQ(log[1].startUs, t0 + 3645 + 2000);
}

TEST_F(SegmentTest, DeviceRulesMatchCodeAndAddressAndCanMisbehave) {
  ScriptedDevice device;
  segment.AttachDevice(device);
  auto rule = ScriptedDevice::Reply(0x80, 5, kAnswer, 1000);
  rule.looseBefore = {0x11, 0x22};
  rule.garble = true;
  rule.times = 1;
  device.AddRule(rule);

  bus::Frame6 other = kRequest;
  other[5] = 6;  // somebody else's address: no answer
  WriteBytes(h0, ScriptedDevice::FrameBytes(other));
  EXPECT_EQ(ReadBytes(h0, 14).size(), 7u);

  WriteBytes(h0, ScriptedDevice::FrameBytes(kRequest));
  const Bytes got = ReadBytes(h0, 16);
  ASSERT_EQ(got.size(), 16u);
  EXPECT_EQ(got[7], 0x11);
  EXPECT_EQ(got[8], 0x22);
  EXPECT_EQ(got[9], 0x7F);
  EXPECT_FALSE(bus::FrameCrcMatches(&got[9]));  // the CRC was flipped

  // The rule was good for one answer only; the device still hears.
  WriteBytes(h0, ScriptedDevice::FrameBytes(kRequest));
  EXPECT_EQ(ReadBytes(h0, 14).size(), 7u);
  EXPECT_EQ(device.HeardCount(0x80), 3);
  segment.DetachDevice(device);
}

TEST_F(SegmentTest, DevicesHearEachOtherButNotThemselves) {
  ScriptedDevice console, listener;
  segment.AttachDevice(console);
  segment.AttachDevice(listener);
  console.AddRule(ScriptedDevice::Reply(0x80, 5, kAnswer, 1000));
  // The console would answer its own answer if it heard it.
  console.AddRule(ScriptedDevice::Reply(0x7F, -1, kAnswer, 1000));
  WriteBytes(h0, ScriptedDevice::FrameBytes(kRequest));
  EXPECT_EQ(ReadBytes(h0, 21).size(), 14u);
  EXPECT_EQ(console.HeardFrames().size(), 1u);
  ASSERT_EQ(listener.HeardFrames().size(), 2u);
  EXPECT_EQ(listener.HeardFrames()[1].frame[0], 0x7F);
  segment.DetachDevice(console);
  segment.DetachDevice(listener);
}

TEST_F(SegmentTest, TwoTalkersGarbleEachOther) {
  const FT_HANDLE h1 = OpenListed(1);
  ScriptedDevice device;
  segment.AttachDevice(device);
  device.AddRule(ScriptedDevice::Reply(0x80, -1, kAnswer, 1000));

  const Bytes frame = ScriptedDevice::FrameBytes(kRequest);
  WriteBytes(h0, frame);
  WriteBytes(h1, frame);
  const Bytes heard0 = ReadBytes(h0, 14);
  ASSERT_EQ(heard0.size(), 14u);  // both transmissions, interleaved byte by byte, all corrupted
  for (size_t i = 0; i < 7; ++i) {
    EXPECT_NE(heard0[2 * i], frame[i]) << i;
    EXPECT_NE(heard0[2 * i + 1], frame[i]) << i;
  }
  EXPECT_EQ(ReadBytes(h1, 14), heard0);  // every listener hears the same garbage
  EXPECT_TRUE(device.HeardFrames().empty());

  const auto log = segment.WireLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_TRUE(log[0].collided);
  EXPECT_TRUE(log[1].collided);
  segment.DetachDevice(device);
}

TEST_F(SegmentTest, OnlyTheOverlappingBytesAreGarbled) {
  // Another talker starts under the last two bytes of our frame (at 2700 us, bytes 5 and 6).
  const uint64_t t0 = segment.NowUs();
  const Bytes frame = ScriptedDevice::FrameBytes(kRequest);
  WriteBytes(h0, frame);
  segment.Inject({0x55, 0x55}, t0 + 2700);
  const Bytes heard = ReadBytes(h0, 9);
  ASSERT_EQ(heard.size(), 9u);
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(heard[i], frame[i]) << i;
  EXPECT_NE(heard[5], frame[5]);
  EXPECT_NE(heard[6], frame[6]);
}

TEST_F(SegmentTest, ATalkerWaitsForItsOwnPreviousTransmission) {
  const uint64_t t0 = segment.NowUs();
  WriteBytes(h0, Bytes{1, 2, 3});
  WriteBytes(h0, Bytes{4, 5});
  const auto log = segment.WireLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1].startUs, t0 + WireTimeUs(3));
  EXPECT_FALSE(log[1].collided);
  EXPECT_EQ(ReadBytes(h0, 5), (Bytes{1, 2, 3, 4, 5}));
}

TEST_F(SegmentTest, UnplugFailsHandlesAndReplugNeedsANewOpen) {
  WriteBytes(h0, Bytes{1, 2, 3});
  segment.Unplug(0);
  uint32_t count = 9, n = 0, got = 0;
  ASSERT_EQ(driver.ListCount(count), FT_OK);
  EXPECT_EQ(count, 1u);  // only converter 1 is listed now, as index 0
  std::string serial;
  EXPECT_EQ(driver.ListSerialNumber(0, serial), FT_OK);
  EXPECT_EQ(serial, "BENCH0002");
  EXPECT_NE(driver.GetQueueStatus(h0, n), FT_OK);
  uint8_t buffer[4];
  EXPECT_NE(driver.Read(h0, buffer, 4, got), FT_OK);
  EXPECT_EQ(got, 0u);
  EXPECT_NE(driver.Write(h0, buffer, 4, got), FT_OK);
  EXPECT_NE(driver.Purge(h0, bus::FT_PURGE_RX), FT_OK);

  segment.Replug(0);
  ASSERT_EQ(driver.ListCount(count), FT_OK);
  EXPECT_EQ(count, 2u);
  EXPECT_NE(driver.GetQueueStatus(h0, n), FT_OK);  // the old handle stays dead
  EXPECT_EQ(driver.Close(h0), FT_OK);
  h0 = OpenListed(0);
  EXPECT_EQ(Queued(h0), 0u);
  WriteBytes(h0, Bytes{7});
  EXPECT_EQ(ReadBytes(h0, 1), Bytes{7});
}

TEST_F(SegmentTest, UnopenableConverterIsListedButRefusesToOpen) {
  segment.SetOpenable(1, false);
  uint32_t count = 0;
  ASSERT_EQ(driver.ListCount(count), FT_OK);
  EXPECT_EQ(count, 2u);
  FT_HANDLE h = 0;
  EXPECT_EQ(driver.Open(1, h), bus::FT_DEVICE_NOT_OPENED);
  // Converter 0 is already open: a second open is refused as well.
  EXPECT_EQ(driver.Open(0, h), bus::FT_DEVICE_NOT_OPENED);
  uint32_t n = 0;
  EXPECT_EQ(driver.GetQueueStatus(0, n), bus::FT_INVALID_HANDLE);
  segment.SetOpenable(1, true);
  EXPECT_EQ(driver.Open(1, h), FT_OK);
}

TEST_F(SegmentTest, EchoCanBeTurnedOffPerConverter) {
  const FT_HANDLE h1 = OpenListed(1);
  segment.SetEcho(0, false);
  WriteBytes(h0, Bytes{1, 2, 3});
  EXPECT_TRUE(ReadBytes(h0, 3).empty());
  EXPECT_EQ(ReadBytes(h1, 3), (Bytes{1, 2, 3}));  // the others still hear it
}

TEST_F(SegmentTest, DropAndCorruptReceivedBytesOfOneConverter) {
  const FT_HANDLE h1 = OpenListed(1);
  segment.DropReceived(0, 2);
  WriteBytes(h0, Bytes{1, 2, 3, 4});
  EXPECT_EQ(ReadBytes(h0, 4), (Bytes{3, 4}));
  EXPECT_EQ(ReadBytes(h1, 4), (Bytes{1, 2, 3, 4}));

  segment.CorruptReceived(1, 1);
  WriteBytes(h0, Bytes{1, 2});
  EXPECT_EQ(ReadBytes(h0, 2), (Bytes{1, 2}));
  EXPECT_EQ(ReadBytes(h1, 2), (Bytes{0xFE, 2}));
}

TEST_F(SegmentTest, DropAndCorruptBytesOnTheWire) {
  const FT_HANDLE h1 = OpenListed(1);
  ScriptedDevice device;
  segment.AttachDevice(device);
  device.AddRule(ScriptedDevice::Reply(0x80, 5, kAnswer, 1000));
  const Bytes frame = ScriptedDevice::FrameBytes(kRequest);

  segment.DropOnWire(1);
  WriteBytes(h0, frame);
  EXPECT_EQ(ReadBytes(h0, 7), Bytes(frame.begin() + 1, frame.end()));
  EXPECT_EQ(ReadBytes(h1, 7).size(), 6u);
  EXPECT_TRUE(device.HeardFrames().empty());  // a frame with a byte missing is no frame

  segment.CorruptOnWire(1);
  WriteBytes(h0, frame);
  const Bytes heard = ReadBytes(h0, 14);
  ASSERT_EQ(heard.size(), 7u);
  EXPECT_EQ(heard[0], frame[0] ^ 0xFF);
  EXPECT_EQ(ReadBytes(h1, 7), heard);
  EXPECT_TRUE(device.HeardFrames().empty());

  WriteBytes(h0, frame);  // the faults are used up
  EXPECT_EQ(ReadBytes(h0, 14).size(), 14u);
  EXPECT_EQ(device.HeardFrames().size(), 1u);
  segment.DetachDevice(device);
}

// A soak corrupts a share of all bytes at random: about that share is changed, each changed byte
// differs from what was sent, and the same seed changes the same bytes.
TEST_F(SegmentTest, RandomCorruptionChangesAboutItsShareOfBytesRepeatably) {
  auto readAll = [&](size_t count) {
    Bytes heard;
    while (heard.size() < count) {
      const Bytes chunk = ReadBytes(h0, static_cast<uint32_t>(count - heard.size()));
      if (chunk.empty()) break;
      heard.insert(heard.end(), chunk.begin(), chunk.end());
    }
    return heard;
  };
  auto run = [&](uint32_t seed) {
    segment.SetCorruptionRate(0.05, seed);
    const uint64_t before = segment.CorruptedCount();
    Bytes sent(2000);
    for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<uint8_t>(i * 7);
    for (size_t at = 0; at < sent.size(); at += 100) WriteBytes(h0, Bytes(sent.begin() + at, sent.begin() + at + 100));
    const Bytes heard = readAll(sent.size());
    EXPECT_EQ(heard.size(), sent.size());
    size_t changed = 0;
    for (size_t i = 0; i < std::min(heard.size(), sent.size()); ++i) changed += heard[i] != sent[i];
    EXPECT_EQ(segment.CorruptedCount() - before, changed);
    return heard;
  };
  const Bytes first = run(42);
  const Bytes again = run(42);
  EXPECT_EQ(first, again);
  size_t changed = 0;
  for (size_t i = 0; i < first.size(); ++i) changed += first[i] != static_cast<uint8_t>(i * 7);
  EXPECT_GT(changed, 50u);
  EXPECT_LT(changed, 150u);
  segment.SetCorruptionRate(0);
  const uint64_t off = segment.CorruptedCount();
  WriteBytes(h0, Bytes(100, 0x55));
  EXPECT_EQ(readAll(100), Bytes(100, 0x55));
  EXPECT_EQ(segment.CorruptedCount(), off);
}

TEST_F(SegmentTest, PurgeForgetsArrivedBytesAndTakesBackUnsentOnes) {
  WriteBytes(h0, Bytes{1, 2, 3, 4, 5, 6});
  clock.Sleep(2);  // bytes 1..3 arrived, 4 is on the wire
  ASSERT_EQ(driver.Purge(h0, bus::FT_PURGE_RX), FT_OK);
  EXPECT_EQ(Queued(h0), 0u);
  EXPECT_EQ(ReadBytes(h0, 6), (Bytes{4, 5, 6}));  // still in flight, so they come

  WriteBytes(h0, Bytes{1, 2, 3, 4, 5, 6});
  clock.Sleep(1);  // bytes 1 and 2 have started (0 and 521 us), 3 starts at 1042 us
  ASSERT_EQ(driver.Purge(h0, bus::FT_PURGE_TX), FT_OK);
  EXPECT_EQ(ReadBytes(h0, 6), (Bytes{1, 2}));
}

TEST_F(SegmentTest, SwitchedOffDeviceHearsAndSaysNothing) {
  ScriptedDevice device;
  segment.AttachDevice(device);
  device.AddRule(ScriptedDevice::Reply(0x80, 5, kAnswer, 1000));
  segment.SetDevicePowered(device, false);
  WriteBytes(h0, ScriptedDevice::FrameBytes(kRequest));
  EXPECT_EQ(ReadBytes(h0, 14).size(), 7u);
  EXPECT_TRUE(device.HeardFrames().empty());

  // Switched off in the middle of its answer: the rest of the answer never goes out.
  segment.SetDevicePowered(device, true);
  WriteBytes(h0, ScriptedDevice::FrameBytes(kRequest));
  clock.Sleep(6);  // request ends at 3.6 ms, answer starts at 4.6 ms
  segment.SetDevicePowered(device, false);
  const Bytes heard = ReadBytes(h0, 14);
  EXPECT_EQ(heard.size(), 7u + 3u);  // answer bytes started by 6 ms: 4.6, 5.2, 5.7
  segment.DetachDevice(device);
}

TEST_F(SegmentTest, SpontaneousTransmissionAndAnotherProgramOnTheSameBus) {
  const FT_HANDLE h1 = OpenListed(1);
  ScriptedDevice remote;
  segment.AttachDevice(remote);
  const uint64_t t0 = segment.NowUs();
  remote.SpeakAt(t0 + 5000, ScriptedDevice::FrameBytes(kAnswer));
  clock.Sleep(5);
  EXPECT_EQ(Queued(h0), 0u);  // the first byte lands at 5521 us
  clock.Sleep(3);
  EXPECT_EQ(Queued(h0), 5u);
  clock.Sleep(1);  // 5000 + 3645 us
  EXPECT_EQ(ReadBytes(h0, 7), ScriptedDevice::FrameBytes(kAnswer));
  EXPECT_EQ(ReadBytes(h1, 7), ScriptedDevice::FrameBytes(kAnswer));

  // What converter 1 says reaches converter 0 and the device.
  WriteBytes(h1, ScriptedDevice::FrameBytes(kRequest));
  EXPECT_EQ(ReadBytes(h0, 7), ScriptedDevice::FrameBytes(kRequest));
  EXPECT_EQ(remote.HeardCount(0x80), 1);
  segment.DetachDevice(remote);
}

// A device that checks that bench time never runs backwards and that it has lived up to the end
// of a frame before hearing it.
class TimeCheckingDevice : public BusDevice {
 public:
  void OnFrame(const bus::BusFrame&, uint64_t endUs, std::vector<Transmission>& out) override {
    EXPECT_GE(endUs, lastUs);
    EXPECT_EQ(lastUs, endUs);
    ++frames;
    out.push_back({endUs + 500, ScriptedDevice::FrameBytes(kAnswer)});
  }
  void AdvanceTo(uint64_t nowUs, std::vector<Transmission>&) override {
    EXPECT_GE(nowUs, lastUs);
    lastUs = nowUs;
  }
  uint64_t lastUs = 0;
  int frames = 0;
};

TEST_F(SegmentTest, DevicesLiveThroughTimeInOrder) {
  TimeCheckingDevice device;
  ScriptedDevice peer;
  segment.AttachDevice(device);
  segment.AttachDevice(peer);
  WriteBytes(h0, ScriptedDevice::FrameBytes(kRequest));
  clock.Sleep(30);  // one big step: the request, the answer, both heard in one poll
  EXPECT_EQ(Queued(h0), 14u);
  EXPECT_EQ(device.frames, 1);
  EXPECT_EQ(peer.HeardFrames().size(), 2u);
  EXPECT_EQ(device.lastUs, segment.NowUs());
  segment.DetachDevice(device);
  segment.DetachDevice(peer);
}

TEST(SegmentThreads, UnplugFromAnotherThreadEndsAWaitingRead) {
  platform::SteadyClock clock;
  BusSegment segment(clock, 1);
  BenchDriver driver(segment);
  FT_HANDLE h = 0;
  ASSERT_EQ(driver.Open(0, h), FT_OK);
  ASSERT_EQ(driver.SetTimeouts(h, 2000, 20), FT_OK);
  std::thread unplugger([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    segment.Unplug(0);
  });
  uint8_t buffer[7];
  uint32_t got = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(driver.Read(h, buffer, 7, got), bus::FT_IO_ERROR);
  unplugger.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

TEST(SegmentThreads, RealClockDeliversTheEchoInRealTime) {
  platform::SteadyClock clock;
  BusSegment segment(clock, 1);
  BenchDriver driver(segment);
  ScriptedDevice device;
  segment.AttachDevice(device);
  device.AddRule(ScriptedDevice::Reply(0x80, 5, kAnswer, 1000));
  FT_HANDLE h = 0;
  ASSERT_EQ(driver.Open(0, h), FT_OK);
  ASSERT_EQ(driver.SetTimeouts(h, 200, 20), FT_OK);
  const Bytes frame = ScriptedDevice::FrameBytes(kRequest);
  uint32_t written = 0, got = 0;
  // Faults from a third thread while the bus is in use.
  std::atomic<bool> stop{false};
  std::thread faults([&] {
    while (!stop) {
      segment.SetEcho(0, true);
      segment.DropOnWire(0);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  ASSERT_EQ(driver.Write(h, frame.data(), 7, written), FT_OK);
  uint8_t buffer[14];
  EXPECT_EQ(driver.Read(h, buffer, 14, got), FT_OK);
  stop = true;
  faults.join();
  EXPECT_EQ(got, 14u);
  EXPECT_EQ(Bytes(buffer, buffer + 7), frame);
  EXPECT_EQ(device.HeardCount(0x80), 1);
  segment.DetachDevice(device);
}

TEST(SegmentThreads, TwoUsersAndAFaultInjectorAtOnce) {
  platform::SteadyClock clock;
  BusSegment segment(clock, 2);
  BenchDriver engine(segment), ui(segment);
  ScriptedDevice device;
  segment.AttachDevice(device);
  device.AddRule(ScriptedDevice::Reply(0x80, 5, kAnswer, 500));
  FT_HANDLE reader = 0, writer = 0;
  ASSERT_EQ(engine.Open(0, reader), FT_OK);
  ASSERT_EQ(ui.Open(1, writer), FT_OK);
  ASSERT_EQ(engine.SetTimeouts(reader, 3, 3), FT_OK);

  std::atomic<bool> stop{false};
  std::atomic<int> readBytes{0};
  std::thread readerThread([&] {
    uint8_t buffer[64];
    while (!stop) {
      uint32_t got = 0;
      if (engine.Read(reader, buffer, sizeof buffer, got) == FT_OK) readBytes += static_cast<int>(got);
    }
  });
  // Faults that leave the wire itself alone, so that the device hears every request.
  ScriptedDevice other;
  segment.AttachDevice(other);
  std::thread faultThread([&] {
    for (int i = 0; !stop; ++i) {
      segment.SetDevicePowered(other, i % 3 != 0);
      segment.SetEcho(1, i % 2 == 0);
      segment.CorruptReceived(0, i % 4 == 0 ? 1 : 0);
      segment.DropReceived(0, i % 5 == 0 ? 1 : 0);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  const Bytes frame = ScriptedDevice::FrameBytes(kRequest);
  // A request every 10 ms leaves room for the 500 us turn-around and the answer.
  for (int i = 0; i < 8; ++i) {
    uint32_t written = 0;
    EXPECT_EQ(ui.Write(writer, frame.data(), 7, written), FT_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  stop = true;
  readerThread.join();
  faultThread.join();
  EXPECT_GT(readBytes.load(), 0);
  EXPECT_EQ(device.HeardCount(0x80), 8);
  EXPECT_EQ(device.HeardCount(0x7F), 0);  // never its own answers

  // Everything settled: the segment still works normally.
  segment.CorruptReceived(0, 0);
  segment.DropReceived(0, 0);
  ASSERT_EQ(engine.SetTimeouts(reader, 200, 20), FT_OK);
  clock.Sleep(20);  // the last answer is over
  ASSERT_EQ(engine.Purge(reader, bus::FT_PURGE_RX), FT_OK);
  uint32_t written = 0, got = 0;
  ASSERT_EQ(engine.Write(reader, frame.data(), 7, written), FT_OK);
  uint8_t buffer[14];
  EXPECT_EQ(engine.Read(reader, buffer, 14, got), FT_OK);
  EXPECT_EQ(got, 14u);
  EXPECT_EQ(Bytes(buffer, buffer + 7), frame);
  segment.DetachDevice(device);
  segment.DetachDevice(other);
}

}  // namespace
}  // namespace fd::sim
