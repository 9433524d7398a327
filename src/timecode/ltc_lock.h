#pragma once

#include <optional>

#include "timecode/timecode_frame.h"

namespace fd::timecode {

enum class LockState { Searching, Locked, Lost };

// "searching", "locked", "lost".
const char* LockStateText(LockState state);

// Whether timecode is being heard steadily, as the cable check shows it: searching until ten
// frames in a row follow on from each other, then locked; lost once two frames' time has passed
// without one. Frames that come back after a loss, or a jump, are searched again.
class LockWatch {
 public:
  static constexpr int kFramesToLock = 10;
  static constexpr double kFramesToLose = 2;

  void Add(const DecodedFrame& frame);
  // nowMs on the heard times' scale.
  void Update(double nowMs);

  LockState State() const { return state_; }
  const std::optional<DecodedFrame>& Last() const { return last_; }

 private:
  LockState state_ = LockState::Searching;
  int run_ = 0;
  std::optional<DecodedFrame> last_;
};

}  // namespace fd::timecode
