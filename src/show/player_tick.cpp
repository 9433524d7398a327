// The show clock: what the player does on every tick of its timer.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "devices/motor_control.h"
#include "show/common_player.h"
#include "show/journal_header.h"

namespace fd::show {

// The elapsed time is taken as unsigned so that the tick counter's wrap is harmless; a sum beyond
// the 32-bit show time holds at its end instead of turning negative.
int32_t ShowTimeAt(int32_t startPosition, uint32_t startTick, uint32_t now) {
  const int64_t t = static_cast<int64_t>(startPosition) + platform::TicksSince(startTick, now);
  return static_cast<int32_t>(std::min<int64_t>(t, std::numeric_limits<int32_t>::max()));
}

namespace {

void SendMotion(devices::TMotorControl& motor, const devices::CueRecord& cue) {
  switch (cue.CueKind) {
    case devices::MotionC:
      motor.MotorC(cue.Param1);
      break;
    case devices::MotionL:
      motor.MotorL(cue.Param1);
      break;
    case devices::MotionR:
      motor.MotorR(cue.Param1);
      break;
    case devices::MotionLT:
      motor.MotorLT(cue.Param1, cue.Param2);
      break;
    case devices::MotionRT:
      motor.MotorRT(cue.Param1, cue.Param2);
      break;
    default:
      break;
  }
}

}  // namespace

void TCommonPlayer::OnTimerTick() {
  if (Busy) return;
  Busy = true;
  const uint32_t now = platform_.GetClock().TickCount();
  const int32_t clockBefore = Clock;
  if (chase_ != nullptr) UpdateChase(now);
  Clock = ClockSource().ShowTimeAt(now);
  clockTick_ = now;
  if (chase_ != nullptr) HearChase(clockBefore);
  // The sound card's crystal is not the clock's; a chased show's clock is the sound desk's.
  if (Soundtrack && chase_ == nullptr) Soundtrack->FollowShowClock(Clock);
  if (LaunchMode == lmAutonomous && Clock < 0) Clock = 0;
  // A jump of the chased timecode may have stopped the show.
  if (chase_ == nullptr || IsPlaying()) {
    if (LaunchMode == lmDirect)
      RunDirectCues();
    else
      RunAutonomousStep();
  }
  ReportProgress(now);
  ReportIdle();
  ArmWakeTimer();
  Busy = false;
}

void TCommonPlayer::RunDirectCues() {
  // Every cue that fell due since the last pass goes out, in list order and back to back. NextCue
  // moves past each cue as it is sent, so a show stopped in the middle of a burst resumes with the
  // rest. A finale can hold seconds of wire time, and nothing else runs on this thread while the
  // pass does: the operator's stop key, the engine's hand-over of a stop broadcast, a signal in a
  // tool would all wait for the last cue. So a pass sends at most BurstSlice of it; the wake-up
  // timer (armed after the pass, the next cue being due) brings the next slice a millisecond
  // later, once the event loop has had its turn. A stop broadcast the engine thread has already
  // cut out of the bus is obeyed between two cues, without waiting for its hand-over.
  const uint32_t sliceStart = platform_.GetClock().TickCount();
  while (IsPlaying() && NextCue >= 0 && NextCue < CueCount()) {
    if (StopHeardMeanwhile()) return;
    // Skipped cues are in the journal already and never go out.
    if (static_cast<size_t>(NextCue) < skipped_.size() && skipped_[NextCue]) {
      ++NextCue;
      continue;
    }
    const devices::CueRecord cue = Cues->Items(NextCue);
    if (cue.TimeMs > Clock) break;
    if (platform::TicksSince(sliceStart, platform_.GetClock().TickCount()) >= BurstSlice) return;
    ++NextCue;
    // In the journal before it goes out: a crash after the frame can never leave it unrecorded.
    JournalCue(cue, false);
    if (devices::IsMotionCue(cue.CueKind)) {
      // Only a motor console knows the motion commands; anything else skips the cue.
      auto* motor = dynamic_cast<devices::TMotorControl*>(controls_.FindByID(cue.Console));
      if (motor != nullptr) SendMotion(*motor, cue);
    } else {
      FireCue(cue.Console, cue.Channel, false);
    }
    // The frame is with the converter now: when, on the show clock of this pass.
    if (Journal != nullptr)
      Journal->CueOut(cue.Line, static_cast<int32_t>(std::min<int64_t>(
                                    int64_t{Clock} + platform::TicksSince(clockTick_, platform_.GetClock().TickCount()),
                                    std::numeric_limits<int32_t>::max())));
  }
  if (IsPlaying() && NextCue >= CueCount()) EndShow();
}

bool TCommonPlayer::StopHeardMeanwhile() {
  const uint32_t heard = port_.StopBroadcastsHeard();
  if (heard == stopBroadcastsSeen_) return false;
  stopBroadcastsSeen_ = heard;
  ObeyExternalStop();
  return true;
}

void TCommonPlayer::SendDueRun() {
  if (Clock < nextRunTime_) return;
  // On the whole tenth itself, so the consoles' clock is the program's to within the frame's own
  // wire time; the next one a second of show time later.
  port_.SyncRun(nextRunTime_);
  const int64_t next = static_cast<int64_t>(nextRunTime_) + SyncInterval;
  // A clock that ran far ahead (a stalled thread) catches up without a burst of broadcasts.
  nextRunTime_ = static_cast<int32_t>(std::min<int64_t>(
      std::max<int64_t>(next, (static_cast<int64_t>(Clock) / 100 + 1) * 100), std::numeric_limits<int32_t>::max()));
}

void TCommonPlayer::FollowNextCue() {
  const devices::CueRecord cue = Cues->Items(NextCue++);
  if (cue.CueKind == devices::ChannelCue) JournalCue(cue, true);
  // Record and log only: the console fires by itself. Motion cues are passed over silently.
  if (cue.CueKind == devices::ChannelCue) FireCue(cue.Console, cue.Channel, true);
}

void TCommonPlayer::RunAutonomousStep() {
  SendDueRun();
  // The consoles fire by themselves; the list only follows them, one cue a tick.
  if (NextCue >= 0 && NextCue < CueCount() && Cues->Items(NextCue).TimeMs <= Clock) FollowNextCue();
  const int64_t lastTime = Cues != nullptr ? Cues->LastTime() : 0;
  if (IsPlaying() && Clock >= lastTime + static_cast<int64_t>(EndOfShowWait)) EndShow();
}

void TCommonPlayer::EndShow() {
  // The list follows the consoles one cue a tick in autonomous launch and may lag behind a finale:
  // the consoles have played everything, and the run log says so before the show ends.
  if (LaunchMode == lmAutonomous)
    while (NextCue >= 0 && NextCue < CueCount()) FollowNextCue();
  platform_.GetClock().Sleep(EndOfShowWait);
  stopSource_ = journal::StopSource::EndOfScenario;
  Stop(false);
  Clock = Cues != nullptr ? Cues->LastTime() : 0;
  // A start from here resumes after the cues already sent at the last cue's time.
  NoteStopPoint();
}

void TCommonPlayer::JournalCue(const devices::CueRecord& cue, bool followed) {
  if (Journal == nullptr) return;
  journal::CueEvent event = JournalCueOf(cue);
  event.showMs = Clock;
  event.followed = followed;
  Journal->CueSent(event);
}

void TCommonPlayer::ReportProgress(uint32_t now) {
  if (!OnProgress) return;
  // The final clock after a stop is always reported.
  if (platform::TicksSince(LastProgressTick, now) < static_cast<uint32_t>(ProgressInterval) && IsPlaying()) return;
  // Taken when the report goes out, not when the pass began: a pass held up by its cues must not
  // bring the next report closer than the interval.
  LastProgressTick = platform_.GetClock().TickCount();
  OnProgress(Clock);
}

void TCommonPlayer::ReportIdle() {
  if (!OnIdle || !IsPlaying()) return;
  const uint32_t now = platform_.GetClock().TickCount();
  if (platform::TicksSince(LastIdleTick, now) < static_cast<uint32_t>(IdleInterval)) return;
  if (NextCue < 0 || NextCue >= CueCount()) return;
  if (static_cast<int64_t>(Cues->Items(NextCue).TimeMs) - Clock <= IdleInterval) return;
  BeforeIdle();
  OnIdle();
  LastIdleTick = platform_.GetClock().TickCount();
}

void TCommonPlayer::ArmWakeTimer() {
  WakeTimer->SetEnabled(false);
  if (!IsPlaying()) return;
  int64_t dueShowTime = 0;
  if (LaunchMode == lmAutonomous) {
    // The next run broadcast goes out on its whole tenth, not on the 25 ms grid.
    dueShowTime = nextRunTime_;
  } else {
    if (NextCue < 0 || NextCue >= CueCount()) return;
    dueShowTime = Cues->Items(NextCue).TimeMs;
  }
  const int64_t until = ClockSource().MsUntil(dueShowTime, platform_.GetClock().TickCount());
  const int64_t delay = std::clamp<int64_t>(until, 1, std::numeric_limits<int32_t>::max());
  WakeTimer->SetInterval(static_cast<uint32_t>(delay));
  WakeTimer->SetEnabled(true);
}

}  // namespace fd::show
