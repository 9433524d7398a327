#include "timecode/ltc_lock.h"

#include "timecode/ltc_summary.h"

namespace fd::timecode {

const char* LockStateText(LockState state) {
  switch (state) {
    case LockState::Locked:
      return "locked";
    case LockState::Lost:
      return "lost";
    case LockState::Searching:
      break;
  }
  return "searching";
}

void LockWatch::Add(const DecodedFrame& frame) {
  int64_t delta = 0;
  const bool next =
      last_ && frame.heardMs - last_->heardMs < 1.5 * FrameDurationMs(last_->rate) && FollowsOn(*last_, frame, delta);
  run_ = next ? run_ + 1 : 1;
  state_ = run_ >= kFramesToLock ? LockState::Locked : LockState::Searching;
  last_ = frame;
}

void LockWatch::Update(double nowMs) {
  if (!last_ || state_ == LockState::Lost) return;
  const double frameMs = FrameDurationMs(last_->rate);
  if (nowMs - (last_->heardMs + frameMs) > kFramesToLose * frameMs) {
    // Searching that never locked stays searching; a lock that went is lost.
    if (state_ == LockState::Locked) state_ = LockState::Lost;
    run_ = 0;
  }
}

}  // namespace fd::timecode
