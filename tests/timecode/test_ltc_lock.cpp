// The lock state of the live line: searching, locked after ten frames in a row, lost after two
// frames' time without one, searching again after a jump.
#include <gtest/gtest.h>

#include "timecode/ltc_lock.h"

namespace fd::timecode {
namespace {

DecodedFrame FrameAt(int64_t number) {
  DecodedFrame frame;
  frame.rate = FrameRate::Fps25;
  frame.label = LabelOfFrame(90000 + number, FrameRate::Fps25);
  frame.heardMs = 1000.0 + 40.0 * static_cast<double>(number);
  return frame;
}

TEST(LockWatch, SearchingLockedLost) {
  struct Step {
    const char* what;
    int64_t from, to;  // the frames heard, by number (none when from > to)
    double nowMs;      // then the clock
    LockState state;
  };
  const Step steps[] = {
      {"first frame", 0, 0, 1040, LockState::Searching},
      {"nine in a row", 1, 8, 1360, LockState::Searching},
      {"ten in a row", 9, 9, 1400, LockState::Locked},
      {"two frames' time passed", 1, 0, 1000 + 40 * 10 + 80, LockState::Locked},
      {"just over two frames' time", 1, 0, 1000 + 40 * 10 + 81, LockState::Lost},
      {"back after the loss", 30, 38, 2360, LockState::Searching},
      {"ten in a row again", 39, 39, 2600, LockState::Locked},
      {"the same frame twice", 39, 39, 2600, LockState::Searching},
  };
  LockWatch watch;
  EXPECT_EQ(watch.State(), LockState::Searching);
  for (const Step& step : steps) {
    for (int64_t n = step.from; n <= step.to; ++n) watch.Add(FrameAt(n));
    watch.Update(step.nowMs);
    EXPECT_EQ(watch.State(), step.state) << step.what;
  }
  // Locked again, then a jump: the run starts over.
  for (int64_t n = 40; n < 50; ++n) watch.Add(FrameAt(n));
  EXPECT_EQ(watch.State(), LockState::Locked);
  DecodedFrame jumped = FrameAt(50);
  jumped.label = LabelOfFrame(50000, FrameRate::Fps25);
  watch.Add(jumped);
  EXPECT_EQ(watch.State(), LockState::Searching);
  EXPECT_STREQ(LockStateText(LockState::Lost), "lost");
  EXPECT_STREQ(LockStateText(LockState::Locked), "locked");
  EXPECT_STREQ(LockStateText(LockState::Searching), "searching");
}

}  // namespace
}  // namespace fd::timecode
