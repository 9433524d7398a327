#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "timecode/timecode_frame.h"

namespace fd::timecode {

// What the chase knows of the timecode: nothing yet (searching for a steady run of frames), locked
// onto it, or lost it (freewheeling on the last measured rate until it returns).
enum class ChaseState : uint8_t { Off, Searching, Locked, Lost };

// "off", "searching", "locked", "lost".
const char* ChaseStateText(ChaseState state);

enum class ChaseEventKind : uint8_t { Lock, Dropout, Return, Jump };

// Something the show, its window and its journal must hear of. Times are show times in ms
// (timecode minus the offset); atMs is on the platform's tick scale.
struct ChaseEvent {
  ChaseEventKind kind = ChaseEventKind::Lock;
  double atMs = 0;
  double showMs = 0;  // Lock, Dropout, Return: where the show clock stood
  double fromMs = 0;  // Jump: the show clock before it
  double toMs = 0;    // Jump: where the timecode is now
  FrameRate rate = FrameRate::Unknown;
};

// Chasing SMPTE timecode: turns decoded frames into a show clock. Pure logic: frames come in with
// the moment their first edge was heard, the show asks for its time at a tick count, and the
// chase says what happened (lock, dropout, return, jump) through TakeEvents.
//
// Lock: kLockFrames consecutive frames, each the previous label + 1 at the same rate and heard
// about one frame after it. While locked an alpha-beta loop follows the phase and rate of the
// frames' edges; the clock handed out is slewed towards it, never stepping. With no continuous
// frame for kDropoutFrames frame times the chase is lost and freewheels at the last rate; frames
// within kReturnFrames of the freewheeled time bring it back without a step. A steady run of
// frames anywhere else is a jump (see docs/timecode-chase.md), and the clock steps there.
class TimecodeChase {
 public:
  static constexpr int kLockFrames = 10;
  // Frames of a run away from the expected time before it counts as a jump; one garbled label
  // must never move the show.
  static constexpr int kJumpConfirmFrames = 5;
  // Frames of a run, near the freewheeled time, before a lost chase takes the timecode back.
  static constexpr int kReturnConfirmFrames = 3;
  // How far from the freewheeled time a returning timecode may be to be taken back without a step.
  static constexpr double kReturnFrames = 2.0;
  // A frame's edge arrives with the next frame's decoding, a frame later; a dropout is declared
  // when two more frame times pass with nothing continuous heard.
  static constexpr double kDropoutFrames = 3.0;
  // Largest correction of the handed-out clock, in ms per ms of time: 0.8 ms per 25 ms tick.
  static constexpr double kSlewPerMs = 0.8 / 25.0;
  // The rate estimate is kept within this of real time (4000 ppm): no SMPTE source is further off.
  static constexpr double kMaxRateError = 0.004;

  // offset: the timecode of show time 0.
  explicit TimecodeChase(Timecode offset = {});

  // Forgets everything heard: searching again. Counters and samples are kept.
  void Reset();
  // A decoded frame, in the order they were heard.
  void Feed(const DecodedFrame& frame);
  // Time passing with or without frames: declares a dropout when it is one. nowMs may be the
  // platform's 32-bit tick count as it is: past its wrap it is taken on from where heard times run.
  void Update(double nowMs);
  // The show clock at nowMs (ms from the show's start); nullopt until the first lock. Time only
  // goes forward here: the handed-out clock is slewed from one call to the next.
  std::optional<double> ShowTime(double nowMs);
  std::vector<ChaseEvent> TakeEvents();

  ChaseState State() const { return state_; }
  FrameRate Rate() const { return rate_; }
  const Timecode& Offset() const { return offset_; }
  // The label of the latest valid frame; nullopt before any.
  std::optional<Timecode> LastLabel() const { return lastLabel_; }
  // Frames heard from the start of the search to the first lock; -1 before it.
  int LockFrames() const { return lockFrames_; }
  int Dropouts() const { return dropouts_; }
  int Jumps() const { return jumps_; }
  // Show clock minus the timecode at each locked frame's edge, in ms (the last 100 000).
  const std::vector<double>& ErrorSamples() const { return errors_; }
  // The measured rate of the timecode against the platform clock (1 = exact).
  double RateEstimate() const { return speed_; }

 private:
  struct RunFrame {
    int64_t number;
    double heardMs;
    double timecodeMs;
  };

  bool ContinuesRun(const DecodedFrame& frame, int64_t number) const;
  // The loop's estimate of the timecode (ms, unwrapped) at a moment.
  double Estimate(double atMs) const { return phaseMs_ + speed_ * (atMs - refMs_); }
  // The timecode nearest the estimate at heardMs that has this label's time of day.
  double Unwrapped(double timecodeMs, double heardMs) const;
  double OffsetMs() const;
  // nowMs on the scale of the heard times: a tick count that wrapped (2^32 ms, 49.7 days) while
  // they ran on is carried past the wrap.
  double PastTickWrap(double nowMs);
  void Lock(const RunFrame& last);
  void FollowLocked(const RunFrame& frame, double error);
  // Takes the latest run as where the timecode now is: the phase from the run, the rate as
  // measured. A return near the freewheeled time slews; anything further is a jump.
  void Relocate(const RunFrame& latest);
  void Emit(ChaseEventKind kind, double atMs, double fromMs = 0, double toMs = 0);
  // The clock handed out at a moment: the last one handed out, run on at the measured rate and
  // corrected towards target by at most kSlewPerMs.
  double HandedOutAt(double atMs, double target) const;
  double HandedOut(double atMs) const;

  Timecode offset_;
  ChaseState state_ = ChaseState::Searching;
  FrameRate rate_ = FrameRate::Unknown;
  std::vector<RunFrame> run_;  // the latest kLockFrames of the current run
  int runLength_ = 0;
  FrameRate runRate_ = FrameRate::Unknown;
  std::optional<Timecode> lastLabel_;
  int framesSearching_ = 0;
  int lockFrames_ = -1;
  int dropouts_ = 0;
  int jumps_ = 0;

  // The loop: the timecode (ms from 00:00:00:00, unwrapped across midnight) was phaseMs_ at refMs_
  // and runs at speed_ ms per ms.
  double phaseMs_ = 0;
  double refMs_ = 0;
  double speed_ = 1.0;
  double lastGoodMs_ = 0;
  // The latest moment seen, heard or asked about.
  double latestMs_ = 0;
  // The clock handed out: outMs_ (timecode ms) at outAtMs_, slewed towards the loop.
  bool outValid_ = false;
  double outMs_ = 0;
  double outAtMs_ = 0;

  std::vector<double> errors_;
  std::vector<ChaseEvent> events_;
};

}  // namespace fd::timecode
