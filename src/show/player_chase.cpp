// The show player chasing timecode: arming, the start on the timecode, and what the player does
// when the timecode is lost, comes back or jumps.
#include <algorithm>
#include <cmath>

#include "devices/cue_record.h"
#include "journal/journal_events.h"
#include "show/common_player.h"
#include "show/journal_header.h"

namespace fd::show {

bool TCommonPlayer::ChaseTimecode(timecode::TimecodeChase* chase) {
  if (IsPlaying()) return false;
  Disarm();
  chase_ = chase;
  chased_ = chase != nullptr ? std::make_unique<ChasedShowClock>(*chase) : nullptr;
  return true;
}

timecode::ChaseState TCommonPlayer::ChaseState() const {
  return chase_ != nullptr ? chase_->State() : timecode::ChaseState::Off;
}

bool TCommonPlayer::ArmChase(int32_t startMs) {
  if (chase_ == nullptr || IsPlaying()) return false;
  armed_ = true;
  armStartMs_ = startMs;
  armSawBefore_ = false;
  ClearSkips();
  ArmTimer->SetInterval(ShowTimerInterval);
  ArmTimer->SetEnabled(true);
  return true;
}

void TCommonPlayer::Disarm() {
  armed_ = false;
  ArmTimer->SetEnabled(false);
}

void TCommonPlayer::ClearSkips() {
  skippedCues_.clear();
  skipped_.assign(static_cast<size_t>(std::max(CueCount(), 0)), false);
}

void TCommonPlayer::UpdateChase(uint32_t now) {
  if (FeedChase)
    FeedChase(now);
  else
    chase_->Update(now);
}

void TCommonPlayer::OnArmTick() {
  if (!armed_ || chase_ == nullptr || IsPlaying()) {
    Disarm();
    return;
  }
  const uint32_t now = platform_.GetClock().TickCount();
  UpdateChase(now);
  const std::optional<double> show = chase_->ShowTime(now);
  HearChase(Clock);
  if (chase_->State() != timecode::ChaseState::Locked || !show) {
    ArmTimer->SetInterval(ShowTimerInterval);
    return;
  }
  const int32_t at = WholeShowMs(*show);
  Clock = at;
  if (at < armStartMs_) {
    armSawBefore_ = true;
    // Wake at the start position's own millisecond rather than on the next 25 ms step.
    ArmTimer->SetInterval(static_cast<uint32_t>(std::clamp<int64_t>(int64_t{armStartMs_} - at, 1, ShowTimerInterval)));
    return;
  }
  int32_t from = armStartMs_;
  if (!armSawBefore_) {
    // The timecode was already past the start position when it locked: the show starts where the
    // timecode is, and the cues it has passed are named, not fired.
    from = at;
    for (int32_t i = FirstCueAt(armStartMs_); i < CueCount() && Cues->Items(i).TimeMs < at; ++i)
      SkipCue(i, "before_start");
  }
  Start(from);
  Disarm();
}

void TCommonPlayer::HearChase(int32_t clockBefore) {
  for (const timecode::ChaseEvent& event : chase_->TakeEvents()) {
    if (Journal != nullptr) {
      switch (event.kind) {
        case timecode::ChaseEventKind::Lock:
          Journal->Append(journal::TimecodeLockLine(WholeShowMs(event.showMs), timecode::FrameRateText(event.rate)));
          break;
        case timecode::ChaseEventKind::Dropout:
          Journal->Append(journal::TimecodeDropoutLine(WholeShowMs(event.showMs)));
          break;
        case timecode::ChaseEventKind::Return:
          Journal->Append(journal::TimecodeReturnLine(WholeShowMs(event.showMs)));
          break;
        case timecode::ChaseEventKind::Jump:
          Journal->Append(
              journal::TimecodeJumpLine(WholeShowMs(event.showMs), WholeShowMs(event.fromMs), WholeShowMs(event.toMs)));
          break;
      }
    }
    if (OnTimecodeEvent) OnTimecodeEvent(event);
    if (event.kind != timecode::ChaseEventKind::Jump) continue;
    // An armed show judges the start position afresh against where the timecode now is.
    armSawBefore_ = false;
    if (IsPlaying()) FollowJump(event, clockBefore);
  }
}

// Backwards, nothing is to be done: NextCue stays past every cue handled, so the cues wait until
// the timecode passes them again, and none fires twice. Forwards by up to JumpSkipMs the cues
// jumped over are due and go out, late, as after a late tick. Further forwards they are skipped:
// named in the journal and to the window, passed over without a frame.
void TCommonPlayer::FollowJump(const timecode::ChaseEvent& jump, int32_t clockBefore) {
  if (jump.toMs - jump.fromMs <= JumpSkipMs) return;
  if (LaunchMode == lmAutonomous) {
    // The consoles play from their own memory and catch up at once on whatever a run broadcast
    // carries them past: the skipped span would go out in one burst. Only a stop keeps it silent.
    stopSource_ = journal::StopSource::TimecodeJump;
    Stop(false);
    return;
  }
  const int32_t to = WholeShowMs(jump.toMs);
  for (int32_t i = std::max(NextCue, 0); i < CueCount(); ++i) {
    const devices::CueRecord& cue = Cues->Items(i);
    if (cue.TimeMs >= to) break;
    // Cues already due before the jump (a burst still going out) are not part of the span.
    if (cue.TimeMs <= clockBefore || skipped_[i]) continue;
    SkipCue(i, "timecode_jump");
  }
}

void TCommonPlayer::SkipCue(int32_t index, const std::string& reason) {
  if (index < 0 || index >= CueCount()) return;
  if (skipped_.size() < static_cast<size_t>(CueCount())) skipped_.resize(static_cast<size_t>(CueCount()), false);
  if (skipped_[index]) return;
  skipped_[index] = true;
  skippedCues_.push_back(index);
  const devices::CueRecord& cue = Cues->Items(index);
  if (Journal != nullptr) {
    journal::CueEvent event = JournalCueOf(cue);
    Journal->Append(journal::CueSkippedLine(event, reason));
  }
  if (OnCueSkipped) OnCueSkipped(index, reason);
}

}  // namespace fd::show
