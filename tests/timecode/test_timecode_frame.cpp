// Timecode labels and the real time they stand for: the show time a chased frame gives depends on
// them, drop-frame most of all.
#include <gtest/gtest.h>

#include "timecode/timecode_frame.h"

namespace fd::timecode {
namespace {

TEST(TimecodeFrame, LabelsAndRealTime) {
  struct Case {
    const char* text;
    FrameRate rate;
    int64_t frame;
    double ms;
  };
  const Case cases[] = {
      {"00:00:00:00", FrameRate::Fps25, 0, 0},
      {"00:00:01:05", FrameRate::Fps25, 30, 1200},
      {"01:00:00:00", FrameRate::Fps24, 86400, 3600000},
      {"00:00:59:29", FrameRate::Fps30, 1799, 59966.666666666664},
      // Drop-frame: ;00 and ;01 are skipped at each minute but every tenth.
      {"00:01:00;02", FrameRate::Fps2997Drop, 1800, 1800 * 1001.0 / 30},
      {"00:10:00;00", FrameRate::Fps2997Drop, 17982, 17982 * 1001.0 / 30},
      {"01:00:00;00", FrameRate::Fps2997Drop, 107892, 107892 * 1001.0 / 30},
      {"23:59:59;29", FrameRate::Fps2997Drop, 2589407, 2589407 * 1001.0 / 30},
  };
  for (const Case& c : cases) {
    const auto label = ParseTimecode(c.text);
    ASSERT_TRUE(label) << c.text;
    EXPECT_TRUE(IsValidLabel(*label, c.rate)) << c.text;
    EXPECT_EQ(FrameNumber(*label, c.rate), c.frame) << c.text;
    EXPECT_DOUBLE_EQ(TimecodeMs(*label, c.rate), c.ms) << c.text;
    EXPECT_EQ(LabelOfFrame(c.frame, c.rate), *label) << c.text;
    EXPECT_EQ(TimecodeText(*label, c.rate), c.text) << c.text;
  }
}

// Every frame number of a drop-frame day maps to a label that maps back to it.
TEST(TimecodeFrame, DropFrameCountsRoundTrip) {
  for (int64_t frame = 0; frame < 2589408; frame += 7) {
    const Timecode label = LabelOfFrame(frame, FrameRate::Fps2997Drop);
    ASSERT_TRUE(IsValidLabel(label, FrameRate::Fps2997Drop)) << frame;
    ASSERT_EQ(FrameNumber(label, FrameRate::Fps2997Drop), frame);
  }
  EXPECT_EQ(LabelOfFrame(2589408, FrameRate::Fps2997Drop), Timecode{});  // the day wraps
}

TEST(TimecodeFrame, WhatIsNotALabel) {
  for (const char* text : {"", "1:00:00:00", "00:00:00", "24:00:00:00", "00:60:00:00", "00:00:00:30", "00-00-00-00",
                           "00:00:00:0x", "00:00:00:000"})
    EXPECT_FALSE(ParseTimecode(text)) << text;
  EXPECT_FALSE(IsValidLabel({0, 1, 0, 0}, FrameRate::Fps2997Drop));
  EXPECT_FALSE(IsValidLabel({0, 0, 0, 25}, FrameRate::Fps25));
  EXPECT_FALSE(IsValidLabel({0, 0, 0, 0}, FrameRate::Unknown));
}

}  // namespace
}  // namespace fd::timecode
