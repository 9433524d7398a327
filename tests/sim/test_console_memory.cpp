// Console memory by firmware generation: what is kept of a record, where it goes, what reads back.

#include <gtest/gtest.h>

#include "raw_bus.h"
#include "sim/console_device.h"
#include "sim/console_memory.h"

namespace fd::sim {
namespace {

using testing::RawBus;
using testing::Reply;

// 12345 ms on channel index 0 (channel 1): T = 123, byte 3 = 1, byte 4 = 0x40 + 2 x 2.
constexpr RecordBytes k12345{0x00, 0x7B, 0x01, 0x44};

TEST(ConsoleMemory, LayoutFollowsTheFirmware) {
  EXPECT_EQ(LayoutFor(0x147, false), MemoryLayout::PerChannel);
  EXPECT_EQ(LayoutFor(0x147, true), MemoryLayout::PerChannel);
  EXPECT_EQ(LayoutFor(0x148, false), MemoryLayout::Records10ms);
  EXPECT_EQ(LayoutFor(0x164, true), MemoryLayout::Records10ms);
  EXPECT_EQ(LayoutFor(0x165, false), MemoryLayout::Records2ms);
  EXPECT_EQ(LayoutFor(0x165, true), MemoryLayout::MotorGroups);
  EXPECT_EQ(LayoutFor(0x36B, false), MemoryLayout::Records2ms);
}

TEST(ConsoleMemory, PerChannelCellsKeepTheLastTimeInTenMillisecondSteps) {
  ConsoleMemory m(MemoryLayout::PerChannel, 16);
  EXPECT_TRUE(m.Write(k12345));
  EXPECT_EQ(RecordTimeMs(*m.Read(1)), 12340);
  // A later write on the same channel replaces the cell.
  EXPECT_TRUE(m.Write({0x00, 0x0A, 0x01, 0x00}));
  EXPECT_EQ(RecordTimeMs(*m.Read(1)), 1000);
  // The channel chooses the cell, not the order of writing.
  EXPECT_TRUE(m.Write({0x00, 0x14, 0x05, 0x30}));
  EXPECT_EQ(RecordTimeMs(*m.Read(5)), 2030);
  EXPECT_EQ(RecordChannel(*m.Read(5)), 5);
  // Never written: reads as an empty cell.
  EXPECT_EQ(RecordTimeMs(*m.Read(2)), kFillerTimeMs);
  EXPECT_EQ(RecordChannel(*m.Read(2)), 2);
  // Outside the memory.
  EXPECT_FALSE(m.Write({0x00, 0x01, 0x11, 0x00}));
  EXPECT_FALSE(m.Read(17).has_value());
  // Channel number 0 has a cell of its own, which holds a time and fires nothing.
  EXPECT_EQ(RecordTimeMs(*m.Read(0)), kFillerTimeMs);
  EXPECT_TRUE(m.Write({0x00, 0x0A, 0x00, 0x00}));
  EXPECT_EQ(RecordTimeMs(*m.Read(0)), 1000);
  EXPECT_EQ(RecordChannel(*m.Read(0)), 0);
  EXPECT_EQ(m.Cues().size(), 2u) << "channels 1 and 5";
}

TEST(ConsoleMemory, RecordsGoInWriteOrderFromTheRewind) {
  ConsoleMemory m(MemoryLayout::Records10ms, 4);
  EXPECT_TRUE(m.Write(k12345));
  EXPECT_TRUE(m.Write({0x00, 0x01, 0x07, 0x00}));
  EXPECT_EQ(m.WritePointer(), 2);
  EXPECT_EQ(*m.Read(1), (RecordBytes{0x00, 0x7B, 0x01, 0x40})) << "no room for the 2 ms digit below 165";
  EXPECT_EQ(RecordChannel(*m.Read(2)), 7);

  m.Rewind();
  EXPECT_TRUE(m.Write({0x00, 0x02, 0x09, 0x00}));
  EXPECT_EQ(RecordChannel(*m.Read(1)), 9) << "a new sequence starts at record 0";
  EXPECT_EQ(RecordChannel(*m.Read(2)), 7) << "and leaves the rest as it was";

  EXPECT_TRUE(m.Write({0x00, 0x03, 0x01, 0x00}));
  EXPECT_TRUE(m.Write({0x00, 0x04, 0x01, 0x00}));
  EXPECT_TRUE(m.Write({0x00, 0x05, 0x01, 0x00}));
  EXPECT_FALSE(m.Write({0x00, 0x06, 0x01, 0x00})) << "the fifth record does not fit";
  EXPECT_FALSE(m.Read(5).has_value());
}

TEST(ConsoleMemory, FineRecordsKeepTheTwoMillisecondDigit) {
  ConsoleMemory m(MemoryLayout::Records2ms, 4);
  EXPECT_TRUE(m.Write(k12345));
  EXPECT_EQ(*m.Read(1), k12345);
  EXPECT_EQ(RecordTimeMs(*m.Read(1)), 12344);
  // Channel 300 = 0x12C: low byte in byte 3, the ninth bit in bit 0 of byte 4.
  EXPECT_TRUE(m.Write({0x00, 0x01, 0x2C, 0x01}));
  EXPECT_EQ(RecordChannel(*m.Read(2)), 300);
}

TEST(ConsoleMemory, CuesLeaveOutFillerAndSortByTime) {
  ConsoleMemory m(MemoryLayout::Records2ms, 8);
  m.Write({0x00, 0x14, 0x02, 0x00});  // 2000 ms, channel 2
  m.Write({0x00, 0x0A, 0x03, 0x00});  // 1000 ms, channel 3
  m.Write({0x00, 0x14, 0x01, 0x00});  // 2000 ms, channel 1
  m.Write({0xFF, 0xFF, 0x04, 0x00});  // filler on channel 4
  const auto cues = m.Cues();
  ASSERT_EQ(cues.size(), 3u);
  EXPECT_EQ(cues[0].channel, 3);
  EXPECT_EQ(cues[1].channel, 2) << "equal times keep their write order";
  EXPECT_EQ(cues[2].channel, 1);
  EXPECT_EQ(cues[2].timeMs, 2000);
}

TEST(ConsoleMemory, MotorGroupsBecomeMotions) {
  ConsoleMemory m(MemoryLayout::MotorGroups, 9);
  // RT at 1.5 s with duration 20 and level 7: byte 3 = 7, 20, 0x91.
  m.Write({0x00, 0x0F, 0x07, 0x00});
  m.Write({0x00, 0x0F, 0x14, 0x01});
  m.Write({0x00, 0x0F, 0x91, 0x02});
  // C at 0.5 s with 9.
  m.Write({0x00, 0x05, 0x09, 0x00});
  m.Write({0x00, 0x05, 0x00, 0x01});
  m.Write({0x00, 0x05, 0x98, 0x02});
  // An incomplete group plays nothing.
  m.Write({0x00, 0x20, 0x01, 0x00});
  const auto cues = m.Cues();
  ASSERT_EQ(cues.size(), 2u);
  EXPECT_EQ(cues[0].timeMs, 500);
  EXPECT_EQ(cues[0].motionCode, 0x98);
  EXPECT_EQ(cues[0].x, 9);
  EXPECT_EQ(cues[1].timeMs, 1500);
  EXPECT_EQ(cues[1].motionCode, 0x91);
  EXPECT_EQ(cues[1].x, 7);
  EXPECT_EQ(cues[1].y, 20);
  EXPECT_EQ(*m.Read(2), (RecordBytes{0x00, 0x0F, 0x14, 0x01}));
}

// --- the same over the wire ---------------------------------------------------------------------

ConsoleConfig Console(int version, int channels = 16, int memory = 0) {
  ConsoleConfig c;
  c.address = 7;
  c.version = version;
  c.channels = channels;
  c.memory = memory;
  return c;
}

TEST(ConsoleMemoryOnTheBus, OldestGenerationKeepsCellsByChannelWithoutReplies) {
  RawBus bus;
  bus.Add<ConsoleDevice>(Console(0x147), bus.log);
  EXPECT_TRUE(bus.Ask({0x91, 0x00, 0x7B, 0x01, 0x44, 7}).empty());
  EXPECT_EQ(bus.Ask({0x92, 0x00, 0x00, 0x01, 0x00, 7}), Reply(0x6D, 0x00, 0x7B, 0x01, 0x40, 7));
  EXPECT_EQ(bus.Ask({0x92, 0x00, 0x00, 0x02, 0x00, 7}), Reply(0x6D, 0xFF, 0xFF, 0x02, 0x00, 7));
  EXPECT_TRUE(bus.Ask({0x92, 0x00, 0x00, 0x11, 0x00, 7}).empty()) << "no cell 17 on 16 channels";
}

TEST(ConsoleMemoryOnTheBus, MiddleGenerationKeepsRecordsWithoutReplies) {
  RawBus bus;
  bus.Add<ConsoleDevice>(Console(0x151), bus.log);
  EXPECT_TRUE(bus.Ask({0x91, 0x00, 0x7B, 0x01, 0x44, 7}).empty());
  EXPECT_TRUE(bus.Ask({0x91, 0x00, 0x0A, 0x05, 0x10, 7}).empty());
  EXPECT_EQ(bus.Ask({0x92, 0x00, 0x00, 0x01, 0x00, 7}), Reply(0x6D, 0x00, 0x7B, 0x01, 0x40, 7));
  EXPECT_EQ(bus.Ask({0x92, 0x00, 0x00, 0x02, 0x00, 7}), Reply(0x6D, 0x00, 0x0A, 0x05, 0x10, 7));
}

TEST(ConsoleMemoryOnTheBus, NewerGenerationConfirmsWhatFits) {
  RawBus bus;
  bus.Add<ConsoleDevice>(Console(0x165, 16, 2), bus.log);
  EXPECT_EQ(bus.Ask({0x91, 0x00, 0x7B, 0x01, 0x44, 7}), Reply(0x6E, 0x00, 0x7B, 0x01, 0x44, 7));
  EXPECT_EQ(bus.Ask({0x91, 0x00, 0x0A, 0x02, 0x00, 7}), Reply(0x6E, 0x00, 0x0A, 0x02, 0x00, 7));
  EXPECT_TRUE(bus.Ask({0x91, 0x00, 0x0B, 0x03, 0x00, 7}).empty()) << "the third record does not fit";
  EXPECT_EQ(bus.Ask({0x92, 0x00, 0x00, 0x01, 0x00, 7}), Reply(0x6D, 0x00, 0x7B, 0x01, 0x44, 7));
  EXPECT_TRUE(bus.Ask({0x92, 0x00, 0x00, 0x03, 0x00, 7}).empty());
}

TEST(ConsoleMemoryOnTheBus, IdentificationRewindsTheWritePointer) {
  RawBus bus;
  auto& console = bus.Add<ConsoleDevice>(Console(0x165), bus.log);
  bus.Ask({0x91, 0x00, 0x01, 0x01, 0x00, 7});
  bus.Ask({0x91, 0x00, 0x02, 0x02, 0x00, 7});
  EXPECT_EQ(console.Memory().WritePointer(), 2);
  bus.Ask({0x8F, 0x01, 0x02, 0x03, 0x04, 7});
  EXPECT_EQ(console.Memory().WritePointer(), 0);
  bus.Ask({0x91, 0x00, 0x03, 0x03, 0x00, 7});
  EXPECT_EQ(bus.Ask({0x92, 0x00, 0x00, 0x01, 0x00, 7}), Reply(0x6D, 0x00, 0x03, 0x03, 0x00, 7));
  EXPECT_EQ(bus.Ask({0x92, 0x00, 0x00, 0x02, 0x00, 7}), Reply(0x6D, 0x00, 0x02, 0x02, 0x00, 7));
}

TEST(ConsoleMemoryOnTheBus, MemorySurvivesSwitchingOff) {
  RawBus bus;
  auto& console = bus.Add<ConsoleDevice>(Console(0x165), bus.log);
  bus.Ask({0x91, 0x00, 0x01, 0x01, 0x00, 7});
  bus.segment.SetDevicePowered(console, false);
  console.PowerChanged(false);
  bus.segment.SetDevicePowered(console, true);
  console.PowerChanged(true);
  EXPECT_EQ(bus.Ask({0x92, 0x00, 0x00, 0x01, 0x00, 7}), Reply(0x6D, 0x00, 0x01, 0x01, 0x00, 7));
}

}  // namespace
}  // namespace fd::sim
