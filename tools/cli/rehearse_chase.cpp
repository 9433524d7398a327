#include "rehearse_chase.h"

#include "platform/clock.h"

namespace fd::cli {

std::unique_ptr<RehearsalChase> RehearsalChase::Open(const std::string& sourceText, const timecode::Timecode& offset,
                                                     platform::Clock& clock, std::string& error) {
  std::unique_ptr<timecode::ChaseInput> input = timecode::OpenChaseInput(sourceText, offset, clock, error);
  if (!input) return nullptr;
  return std::unique_ptr<RehearsalChase>(new RehearsalChase(std::move(input)));
}

RehearsalChase::~RehearsalChase() { Detach(); }

void RehearsalChase::Attach(show::TCommonPlayer& player, uint32_t tick0) {
  player_ = &player;
  tick0_ = tick0;
  player.ChaseTimecode(&input_->Chase());
  player.FeedChase = [this](uint32_t now) {
    lastFeedTick_ = now;
    input_->Pump(static_cast<double>(now));
  };
  player.OnCueSkipped = [this](int32_t index, const std::string& reason) { skipped_.emplace_back(index, reason); };
  player.OnTimecodeEvent = [this](const timecode::ChaseEvent& event) {
    ChaseMark mark;
    mark.showMs = event.showMs;
    switch (event.kind) {
      case timecode::ChaseEventKind::Lock:
        mark.kind = "lock";
        mark.rate = timecode::FrameRateText(event.rate);
        break;
      case timecode::ChaseEventKind::Dropout:
        mark.kind = "dropout";
        break;
      case timecode::ChaseEventKind::Return:
        mark.kind = "return";
        break;
      case timecode::ChaseEventKind::Jump:
        mark.kind = "jump";
        mark.fromMs = event.fromMs;
        mark.toMs = event.toMs;
        // The player, told next, stops an autonomous show on a jump forward past the cues.
        stoppedByJump_ = stoppedByJump_ || (player_->IsPlaying() && player_->LaunchMode == show::lmAutonomous &&
                                            event.toMs - event.fromMs > show::TCommonPlayer::JumpSkipMs);
        break;
    }
    marks_.push_back(mark);
    // The player's clock has just been read where the timecode now is: a jump moves the show time
    // of everything that happens from here on.
    Sample(lastFeedTick_);
  };
}

bool RehearsalChase::StartAndArm(int32_t startMs, std::string& error) {
  if (player_ == nullptr || !input_->Start()) {
    error = input_->Error();
    return false;
  }
  if (!player_->ArmChase(startMs)) {
    error = "the show could not be armed";
    return false;
  }
  return true;
}

void RehearsalChase::Detach() {
  input_->Stop();
  if (player_ == nullptr) return;
  player_->FeedChase = nullptr;
  player_->OnTimecodeEvent = nullptr;
  player_->OnCueSkipped = nullptr;
  if (!player_->IsPlaying()) player_->ChaseTimecode(nullptr);
  player_ = nullptr;
}

int32_t RehearsalChase::ShowMsNow(uint32_t now) const {
  const int64_t since = static_cast<int32_t>(now - lastFeedTick_);
  return static_cast<int32_t>(player_->Clock + since);
}

void RehearsalChase::Sample(uint32_t now) {
  if (player_ == nullptr || !player_->IsPlaying()) return;
  samples_.emplace_back(static_cast<double>(static_cast<int32_t>(now - tick0_)), ShowMsNow(now));
}

double RehearsalChase::ShowMsAt(double sinceTick0Ms) const {
  const std::pair<double, double>* best = nullptr;
  for (const auto& sample : samples_)
    if (sample.first <= sinceTick0Ms && (best == nullptr || sample.first >= best->first)) best = &sample;
  if (best == nullptr && !samples_.empty()) best = &samples_.front();
  if (best == nullptr) return sinceTick0Ms;
  return best->second + (sinceTick0Ms - best->first);
}

bool RehearsalChase::GivenUp(uint32_t now) {
  if (player_ == nullptr || player_->IsPlaying() || !input_->Source().Finished()) return false;
  if (!fileEnded_) {
    fileEnded_ = true;
    fileEndedTick_ = now;
  }
  return now - fileEndedTick_ >= kGiveUpAfterFileMs;
}

std::string RehearsalChase::GiveUpText() const {
  const std::string error = input_->Error();
  if (!error.empty()) return "the timecode source failed: " + error + "; the show did not start";
  if (input_->Chase().LockFrames() < 0)
    return "no timecode locked before " + SourceText() + " ended: the show did not start";
  return "the timecode from " + SourceText() + " ended before it reached the start position: the show did not start";
}

std::string RehearsalChase::OffsetText() const {
  return timecode::TimecodeText(input_->Chase().Offset(), timecode::FrameRate::Fps25);
}

ChaseRun RehearsalChase::Run() const {
  const timecode::TimecodeChase& chase = input_->Chase();
  ChaseRun run;
  run.source = SourceText();
  run.offset = OffsetText();
  run.marks = marks_;
  journal::TimecodeSummary& summary = run.figures;
  summary.lockFrames = chase.LockFrames();
  summary.dropouts = chase.Dropouts();
  summary.jumps = chase.Jumps();
  summary.errorSamples = static_cast<int64_t>(chase.ErrorSamples().size());
  summary.errorP50Ms = SizePercentile(chase.ErrorSamples(), 50);
  summary.errorP99Ms = SizePercentile(chase.ErrorSamples(), 99);
  summary.errorMaxMs = SizePercentile(chase.ErrorSamples(), 100);
  return run;
}

}  // namespace fd::cli
