#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/bass_files.h"
#include "bus/tport.h"
#include "devices/controls.h"
#include "devices/hv_control.h"
#include "journal/show_journal.h"
#include "platform/platform.h"
#include "platform/timer.h"
#include "show/project_list.h"
#include "show/show_clock_source.h"
#include "timecode/timecode_chase.h"

namespace fd::show {

// Launch modes: the program fires each cue itself, or the consoles play their stored scenario and
// the program keeps them in step with time broadcasts.
inline constexpr uint8_t lmDirect = 0;
inline constexpr uint8_t lmAutonomous = 1;

// Runs the show on the user-interface thread: the show clock, the cues in time order, the
// soundtrack in step, state answers to other operator programs and the stop from the bus.
// The show time at a tick count, for a run that started at startPosition on startTick.
int32_t ShowTimeAt(int32_t startPosition, uint32_t startTick, uint32_t now);

class TCommonPlayer {
 public:
  TCommonPlayer(platform::Platform& platform, bus::TPort& port, devices::TControls& controls);
  virtual ~TCommonPlayer();
  TCommonPlayer(const TCommonPlayer&) = delete;
  TCommonPlayer& operator=(const TCommonPlayer&) = delete;

  bool Busy = false;
  uint8_t LaunchMode = lmDirect;
  std::unique_ptr<audio::TBassPlayer> Soundtrack;
  std::unique_ptr<platform::Timer> ShowTimer;  // 25 ms
  int32_t StartPosition = 0;
  int32_t Clock = 0;  // show time in ms; set by the window while stopped to choose the next start
  uint32_t StartTick = 0;
  int32_t NextCue = 0;           // first cue not yet handled; set by the window while stopped
  TProjectList* Cues = nullptr;  // not owned; assigned once by the window
  // The journal of the running show, told of every cue before its frame goes out and of every
  // stop; not owned, nullptr for none.
  journal::ShowJournal* Journal = nullptr;

  std::function<void(int32_t clockMs)> OnProgress;
  std::function<void()> OnStateChange;
  std::function<void()> OnEmergencyStop;
  std::function<void()> OnIdle;

  virtual void OnTimerTick();
  virtual void BeforeIdle() {}
  virtual bool LoadSoundtrack(const std::string& name);
  virtual void CloseSoundtrack();
  virtual void Start(int32_t fromMs);
  virtual void Stop(bool stopSound);
  virtual void HandleBusMessage(const bus::Frame6& message);
  virtual void FireCue(int32_t console, int32_t channel, bool recordOnly);
  virtual bool IsPlaying() const;
  // Autonomous launch. The run broadcast carries the show time in whole tenths of a second and the
  // consoles fire their stored cues from that time on, so a start goes out on the first whole
  // tenth at or after the start position (strictly after it when the run resumes past cues already
  // handled there), sent the moment the show clock reaches it. The cues in between cannot be
  // played from memory: the window names them before the start, and they are never fired twice.
  int32_t FirstRunTime(int32_t fromMs) const;
  // Indexes of the cues a start from fromMs in autonomous launch leaves out, in list order.
  std::vector<int32_t> CuesBeforeFirstRun(int32_t fromMs) const;
  // Another scenario in the list: where the last one stopped says nothing about its cues.
  void ForgetStopPoint() { stopPointValid_ = false; }
  // Carries on with a show cut short, as if it had stopped right after sending the cue before
  // nextCue at clockMs: a Start(Clock) from here sends the cues from nextCue on, the rest of a
  // burst at clockMs among them, and none before it.
  void ResumeAt(int32_t clockMs, int32_t nextCue);

  // The converter is gone. Whatever happens on the bus meanwhile (the remote control's stop among
  // it) this program cannot hear, so a show that plays stops here and now, as on a stop from the
  // bus: its stop frames wait in the engine and go out first when the converter is back, and
  // nothing starts again until the operator starts it.
  virtual void ConnectionLost();

  // The show stopped because the converter was lost.
  std::function<void()> OnConnectionStop;

  // Chasing timecode. Given a chase (not owned), the show clock follows the timecode instead of
  // the monotonic clock; nullptr goes back to the monotonic clock. Refused while a show plays.
  bool ChaseTimecode(timecode::TimecodeChase* chase);
  // Hands the frames heard since the last look to the chase and lets it see the time now; called
  // before every reading of a chased clock. Empty: the chase is fed elsewhere.
  std::function<void(uint32_t now)> FeedChase;
  timecode::TimecodeChase* Chase() const { return chase_; }
  // Off without a chase.
  timecode::ChaseState ChaseState() const;
  // The operator arms the show: it starts when the locked timecode reaches startMs, or, should the
  // timecode already be past it when locked, where the timecode is (the cues in between skipped).
  // Nothing else starts a chased show; any stop disarms it. False without a chase or while playing.
  bool ArmChase(int32_t startMs);
  bool ChaseArmed() const { return armed_; }
  int32_t ArmedStart() const { return armStartMs_; }
  // The cues passed over without firing since the latest arming (or start), in the order skipped.
  const std::vector<int32_t>& SkippedCues() const { return skippedCues_; }
  // reason: "before_start" or "timecode_jump".
  std::function<void(int32_t index, const std::string& reason)> OnCueSkipped;
  // Lock, dropout, return and jump of the chased timecode, as the chase reported them.
  std::function<void(const timecode::ChaseEvent& event)> OnTimecodeEvent;
  // Polls the chase while the show is armed and not yet started.
  std::unique_ptr<platform::Timer> ArmTimer;
  // A forward jump of the timecode by more than this skips the cues it jumps over; a shorter one
  // sends them, late, as a late tick would.
  static constexpr int32_t JumpSkipMs = 1000;

  // The show timer is repeating and sits on a 25 ms grid; in direct mode this single-shot timer
  // wakes the player at the next cue's own millisecond, so a cue does not wait for the grid.
  std::unique_ptr<platform::Timer> WakeTimer;
  uint32_t LastProgressTick = 0;
  uint32_t LastIdleTick = 0;
  static constexpr int32_t ProgressInterval = 100;
  static constexpr int32_t IdleInterval = 1000;
  static constexpr int32_t SyncInterval = 1000;
  static constexpr uint32_t ShowTimerInterval = 25;
  // What the show waits after its last cue before it stops.
  static constexpr uint32_t EndOfShowWait = 500;
  // The most wire time one pass spends on a burst of due cues before it lets the event loop run
  // (a stop key, a stop broadcast's hand-over); the rest follows on the next pass.
  static constexpr uint32_t BurstSlice = 20;
  // A stop broadcast heard this long after our own stop, while we are stopped, is taken as another
  // program's answer to ours (see ObeyExternalStop).
  static constexpr uint32_t StopAnswerWindow = 2000;

 protected:
  // Fills the level queues of the high-voltage consoles with the channel cues from fromMs on (from
  // NextCue, which Start has set) and tells each console the level of its first one.
  virtual void PrepareLevelQueues(int32_t fromMs);
  // The level a high-voltage console is told for the channel after the one it fires now.
  int32_t NextLevel(devices::THVControl& console);
  // Points the wake-up timer at the next due cue (direct mode, while playing); disarms it otherwise.
  void ArmWakeTimer();
  void RunDirectCues();
  // Obeys a stop broadcast the engine has cut out of the bus and not yet handed over; true when
  // there was one.
  bool StopHeardMeanwhile();
  void RunAutonomousStep();
  // Autonomous launch: moves the list past the next cue, which the consoles play themselves.
  void FollowNextCue();
  void EndShow();
  void ReportProgress(uint32_t now);
  void ReportIdle();
  void ObeyExternalStop();
  int32_t CueCount() const;
  void NoteStopPoint();
  bool ResumesPastHandledCues(int32_t fromMs, int32_t first) const;
  // Writes the cue's event ahead of its frame.
  void JournalCue(const devices::CueRecord& cue, bool followed);
  ShowClockSource& ClockSource() { return chase_ != nullptr ? *chased_ : *monotonic_; }
  void OnArmTick();
  // Feeds the chase (FeedChase) or, without a feed, lets it see the time.
  void UpdateChase(uint32_t now);
  // Hands what the chase reported to the journal and the window, and follows a jump.
  void HearChase(int32_t clockBefore);
  void FollowJump(const timecode::ChaseEvent& jump, int32_t clockBefore);
  void SkipCue(int32_t index, const std::string& reason);
  void ClearSkips();
  void Disarm();
  // What the next Stop is put down to in the journal; the operator's unless said otherwise.
  journal::StopSource stopSource_ = journal::StopSource::Operator;

  platform::Platform& platform_;
  bus::TPort& port_;
  devices::TControls& controls_;
  // Whether stop frames went out since the latest Start, and when.
  bool stopSent_ = false;
  uint32_t stopSentTick_ = 0;
  // Autonomous launch: the show time (a whole tenth) of the next run broadcast.
  int32_t nextRunTime_ = 0;
  bool ResumesAtStopPoint(int32_t fromMs) const;
  // The index of the first cue at or after the start position (what Start computes first).
  int32_t FirstCueAt(int32_t fromMs) const;
  // Sends the run broadcast whose moment has come (autonomous launch).
  void SendDueRun();
  // The engine's count of stop broadcasts when the player last took notice of them.
  uint32_t stopBroadcastsSeen_ = 0;
  // Where the latest stop left the clock and the cue index.
  bool stopPointValid_ = false;
  // The tick at which Clock was last read from its source.
  uint32_t clockTick_ = 0;
  int32_t stoppedClock_ = 0;
  int32_t stoppedNextCue_ = 0;

  std::unique_ptr<ShowClockSource> monotonic_;
  std::unique_ptr<ShowClockSource> chased_;
  timecode::TimecodeChase* chase_ = nullptr;
  bool armed_ = false;
  int32_t armStartMs_ = 0;
  // The locked timecode was seen before the start position since the arming (or the last jump).
  bool armSawBefore_ = false;
  std::vector<int32_t> skippedCues_;
  std::vector<bool> skipped_;  // by cue index
};

}  // namespace fd::show
