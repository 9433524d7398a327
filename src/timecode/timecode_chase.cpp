#include "timecode/timecode_chase.h"

#include <algorithm>
#include <cmath>

namespace fd::timecode {

namespace {

// The loop's gains (an alpha-beta filter with Benedict-Bordner's beta): about seven frames to
// settle, and the edges' jitter reduced to a third.
constexpr double kPhaseGain = 0.15;
constexpr double kRateGain = kPhaseGain * kPhaseGain / (2.0 - kPhaseGain);
// Errors beyond this are not a rate to learn from but a phase to slew away.
constexpr double kRateErrorLimitMs = 2.0;
// "Heard about one frame later": the next edge within a quarter frame of where it belongs.
constexpr double kGapTolerance = 0.25;
constexpr size_t kMaxErrorSamples = 200000;

int64_t FramesPerDay(FrameRate rate) {
  // Drop-frame: 17982 labels in every ten minutes.
  if (rate == FrameRate::Fps2997Drop) return int64_t{24} * 6 * 17982;
  return int64_t{NominalFrames(rate)} * 86400;
}

double DayMs(FrameRate rate) { return static_cast<double>(FramesPerDay(rate)) * FrameDurationMs(rate); }

// The multiple of a day that brings value nearest to target.
double NearestByDays(double value, double target, double dayMs) {
  return value + std::round((target - value) / dayMs) * dayMs;
}

}  // namespace

const char* ChaseStateText(ChaseState state) {
  switch (state) {
    case ChaseState::Off:
      return "off";
    case ChaseState::Searching:
      return "searching";
    case ChaseState::Locked:
      return "locked";
    case ChaseState::Lost:
      return "lost";
  }
  return "off";
}

TimecodeChase::TimecodeChase(Timecode offset) : offset_(offset) {}

void TimecodeChase::Reset() {
  state_ = ChaseState::Searching;
  run_.clear();
  runLength_ = 0;
  framesSearching_ = 0;
  outValid_ = false;
  speed_ = 1.0;
}

double TimecodeChase::OffsetMs() const { return TimecodeMs(offset_, rate_); }

bool TimecodeChase::ContinuesRun(const DecodedFrame& frame, int64_t number) const {
  if (run_.empty() || frame.rate != runRate_) return false;
  const RunFrame& last = run_.back();
  if (number != (last.number + 1) % FramesPerDay(frame.rate)) return false;
  const double duration = FrameDurationMs(frame.rate);
  const double gap = frame.heardMs - last.heardMs;
  return gap >= duration * (1 - kGapTolerance) && gap <= duration * (1 + kGapTolerance);
}

double TimecodeChase::Unwrapped(double timecodeMs, double heardMs) const {
  return NearestByDays(timecodeMs, Estimate(heardMs), DayMs(rate_));
}

double TimecodeChase::PastTickWrap(double nowMs) {
  constexpr double kTickWrapMs = 4294967296.0;
  if (!std::isfinite(nowMs)) return nowMs;
  while (nowMs + kTickWrapMs / 2 < latestMs_) nowMs += kTickWrapMs;
  latestMs_ = std::max(latestMs_, nowMs);
  return nowMs;
}

void TimecodeChase::Feed(const DecodedFrame& frame) {
  // A label that cannot exist at its rate is noise: it breaks any run and tells nothing.
  if (!IsValidLabel(frame.label, frame.rate) || !std::isfinite(frame.heardMs)) {
    run_.clear();
    runLength_ = 0;
    return;
  }
  latestMs_ = std::max(latestMs_, frame.heardMs);
  lastLabel_ = frame.label;
  if (state_ == ChaseState::Searching) ++framesSearching_;
  const int64_t number = FrameNumber(frame.label, frame.rate);
  const double duration = FrameDurationMs(frame.rate);
  if (ContinuesRun(frame, number)) {
    // Consecutive labels are exactly a frame apart, midnight or not.
    run_.push_back({number, frame.heardMs, run_.back().timecodeMs + duration});
    ++runLength_;
    if (run_.size() > static_cast<size_t>(kLockFrames)) run_.erase(run_.begin());
  } else {
    run_.assign(1, {number, frame.heardMs, TimecodeMs(frame.label, frame.rate)});
    runRate_ = frame.rate;
    runLength_ = 1;
  }
  const RunFrame& latest = run_.back();

  switch (state_) {
    case ChaseState::Off:
    case ChaseState::Searching:
      if (runLength_ >= kLockFrames) Lock(latest);
      return;
    case ChaseState::Locked:
      if (frame.rate == rate_) {
        const double timecodeMs = Unwrapped(latest.timecodeMs, frame.heardMs);
        const double error = timecodeMs - Estimate(frame.heardMs);
        if (std::fabs(error) <= duration / 2) {
          FollowLocked({number, frame.heardMs, timecodeMs}, error);
          return;
        }
      }
      if (runLength_ >= kJumpConfirmFrames) Relocate(latest);
      return;
    case ChaseState::Lost:
      if (frame.rate == rate_ && runLength_ >= kReturnConfirmFrames) {
        const double timecodeMs = Unwrapped(latest.timecodeMs, frame.heardMs);
        if (std::fabs(timecodeMs - Estimate(frame.heardMs)) <= kReturnFrames * duration) {
          Relocate(latest);
          return;
        }
      }
      if (runLength_ >= kJumpConfirmFrames) Relocate(latest);
      return;
  }
}

void TimecodeChase::Lock(const RunFrame& latest) {
  rate_ = runRate_;
  const double day = DayMs(rate_);
  // The phase is the mean of the run's edges carried to the latest one: the edges' jitter averages
  // out. The rate is not taken from ten frames: their jitter would make it worse than assuming
  // real time, and the loop learns it within a second.
  speed_ = 1.0;
  double sum = 0;
  for (const RunFrame& f : run_) sum += f.timecodeMs + speed_ * (latest.heardMs - f.heardMs);
  phaseMs_ = sum / static_cast<double>(run_.size());
  refMs_ = latest.heardMs;
  // Show times lie within half a day either side of the offset.
  phaseMs_ = NearestByDays(phaseMs_, OffsetMs(), day);
  outValid_ = true;
  outMs_ = phaseMs_;
  outAtMs_ = latest.heardMs;
  lastGoodMs_ = latest.heardMs;
  state_ = ChaseState::Locked;
  lockFrames_ = framesSearching_;
  Emit(ChaseEventKind::Lock, latest.heardMs);
}

void TimecodeChase::FollowLocked(const RunFrame& frame, double error) {
  if (errors_.size() >= kMaxErrorSamples) errors_.erase(errors_.begin(), errors_.begin() + kMaxErrorSamples / 2);
  errors_.push_back(HandedOut(frame.heardMs) - frame.timecodeMs);
  const double sinceMs = frame.heardMs - refMs_;
  phaseMs_ = Estimate(frame.heardMs) + kPhaseGain * error;
  refMs_ = frame.heardMs;
  if (sinceMs > 0) {
    speed_ += kRateGain * std::clamp(error, -kRateErrorLimitMs, kRateErrorLimitMs) / sinceMs;
    speed_ = std::clamp(speed_, 1 - kMaxRateError, 1 + kMaxRateError);
  }
  lastGoodMs_ = frame.heardMs;
}

void TimecodeChase::Relocate(const RunFrame& latest) {
  const double atMs = latest.heardMs;
  const double offsetBefore = OffsetMs();
  const double fromMs = HandedOut(atMs) - offsetBefore;
  const bool wasLost = state_ == ChaseState::Lost;
  const double before = Estimate(atMs);
  rate_ = runRate_;
  double sum = 0;
  for (const RunFrame& f : run_) sum += f.timecodeMs + speed_ * (atMs - f.heardMs);
  phaseMs_ = NearestByDays(sum / static_cast<double>(run_.size()), before, DayMs(rate_));
  refMs_ = atMs;
  lastGoodMs_ = atMs;
  state_ = ChaseState::Locked;
  const double toMs = phaseMs_ - OffsetMs();
  if (wasLost) Emit(ChaseEventKind::Return, atMs, fromMs);
  if (std::fabs(toMs - fromMs) > kReturnFrames * FrameDurationMs(rate_)) {
    // A jump: the clock goes there at once.
    ++jumps_;
    outMs_ = phaseMs_;
    outAtMs_ = atMs;
    Emit(ChaseEventKind::Jump, atMs, fromMs, toMs);
  } else if (outAtMs_ < atMs) {
    // Near enough: the handed-out clock slews onto it from where it stands.
    outMs_ = HandedOutAt(atMs, before);
    outAtMs_ = atMs;
  }
}

void TimecodeChase::Update(double nowMs) {
  nowMs = PastTickWrap(nowMs);
  if (state_ != ChaseState::Locked) return;
  // A steady run elsewhere is a jump in the making, not silence.
  double lastHeard = lastGoodMs_;
  if (runLength_ >= 2 && !run_.empty()) lastHeard = std::max(lastHeard, run_.back().heardMs);
  if (nowMs - lastHeard <= kDropoutFrames * FrameDurationMs(rate_)) return;
  state_ = ChaseState::Lost;
  ++dropouts_;
  Emit(ChaseEventKind::Dropout, nowMs, HandedOut(nowMs) - OffsetMs());
}

double TimecodeChase::HandedOutAt(double atMs, double target) const {
  const double sinceMs = atMs - outAtMs_;
  const double natural = outMs_ + speed_ * sinceMs;
  if (sinceMs <= 0) return natural;
  const double limit = kSlewPerMs * sinceMs;
  return natural + std::clamp(target - natural, -limit, limit);
}

double TimecodeChase::HandedOut(double atMs) const {
  if (!outValid_) return Estimate(atMs);
  return HandedOutAt(atMs, Estimate(atMs));
}

std::optional<double> TimecodeChase::ShowTime(double nowMs) {
  nowMs = PastTickWrap(nowMs);
  if (!outValid_) return std::nullopt;
  const double value = HandedOut(nowMs);
  if (nowMs > outAtMs_) {
    outMs_ = value;
    outAtMs_ = nowMs;
  }
  return value - OffsetMs();
}

std::vector<ChaseEvent> TimecodeChase::TakeEvents() {
  std::vector<ChaseEvent> out;
  out.swap(events_);
  return out;
}

void TimecodeChase::Emit(ChaseEventKind kind, double atMs, double fromMs, double toMs) {
  ChaseEvent event;
  event.kind = kind;
  event.atMs = atMs;
  event.rate = rate_;
  event.fromMs = fromMs;
  event.toMs = toMs;
  switch (kind) {
    case ChaseEventKind::Lock:
      event.showMs = phaseMs_ - OffsetMs();
      break;
    case ChaseEventKind::Jump:
      event.showMs = toMs;
      break;
    case ChaseEventKind::Dropout:
    case ChaseEventKind::Return:
      event.showMs = fromMs;
      break;
  }
  events_.push_back(event);
}

}  // namespace fd::timecode
