#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>

#include "bus/bus_frame.h"

namespace fd::bus {
namespace {

// CRC-8/MAXIM computed bit by bit, as the 1-Wire note describes it, to hold the table against.
uint8_t BitwiseCrc(const uint8_t* bytes, size_t count) {
  uint8_t crc = 0;
  for (size_t i = 0; i < count; ++i) {
    uint8_t b = bytes[i];
    for (int bit = 0; bit < 8; ++bit) {
      const bool mix = ((crc ^ b) & 1) != 0;
      crc >>= 1;
      if (mix) crc ^= 0x8C;
      b >>= 1;
    }
  }
  return crc;
}

TEST(FrameCrc, CheckValueAndKnownTableEntries) {
  const char* check = "123456789";
  EXPECT_EQ(Crc8Maxim(reinterpret_cast<const uint8_t*>(check), std::strlen(check)), 0xA1);
  // A single byte from 0 reads the table entry straight out.
  const uint8_t one = 1, half = 128;
  EXPECT_EQ(Crc8Maxim(&one, 1), 0x5E);
  EXPECT_EQ(Crc8Maxim(&half, 1), 0x8C);
  EXPECT_EQ(Crc8Maxim(nullptr, 0), 0x00);
}

TEST(FrameCrc, EveryTableEntryMatchesTheBitwiseDefinition) {
  std::set<uint8_t> seen;
  for (int i = 0; i < 256; ++i) {
    const uint8_t b = static_cast<uint8_t>(i);
    EXPECT_EQ(Crc8Maxim(&b, 1), BitwiseCrc(&b, 1)) << "entry " << i;
    seen.insert(Crc8Maxim(&b, 1));
  }
  EXPECT_EQ(seen.size(), 256u);  // the table is a permutation
}

TEST(FrameCrc, SixByteFramesMatchTheBitwiseDefinition) {
  std::mt19937 random(7);
  for (int n = 0; n < 2000; ++n) {
    Frame6 f;
    for (auto& b : f) b = static_cast<uint8_t>(random());
    ASSERT_EQ(FrameCrc(f), BitwiseCrc(f.data(), 6));
  }
}

TEST(BusFrame, VersionRequestToConsoleFive) {
  const Frame6 request{0x80, 0x00, 0x01, 0x02, 0x03, 0x05};
  EXPECT_EQ(FrameCrc(request), 0x40);
  EXPECT_EQ(MakeBusFrame(request), (BusFrame{0x80, 0x00, 0x01, 0x02, 0x03, 0x05, 0x40}));
  EXPECT_EQ(FrameCrc(Frame6{0x7F, 0x00, 0x31, 0x36, 0x34, 0x05}), 0x5D);
}

TEST(BusFrame, CrcMatchJudgesOnlyTheSeventhByte) {
  BusFrame f = MakeBusFrame(Frame6{0x84, 0x03, 0x00, 0x80, 0x00, 0x0C});
  EXPECT_EQ(f[6], 0xB9);
  EXPECT_TRUE(FrameCrcMatches(f.data()));
  f[6] ^= 0x01;
  EXPECT_FALSE(FrameCrcMatches(f.data()));
  f[6] ^= 0x01;
  f[3] ^= 0x10;  // any changed payload bit is caught
  EXPECT_FALSE(FrameCrcMatches(f.data()));
  // The code byte is not judged here: a zero frame has a zero CRC and "matches".
  const BusFrame zeros{};
  EXPECT_TRUE(FrameCrcMatches(zeros.data()));
}

TEST(InstanceNumber, DrawnOnceAndNeverZero) {
  const uint8_t first = InstanceNumber();
  EXPECT_NE(first, 0);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(InstanceNumber(), first);
}

}  // namespace
}  // namespace fd::bus
