#pragma once

// A rehearsal chasing timecode: the source the command line names, fed to the show player before
// every reading of its clock, and what the chase did, kept for the report and the journal.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "journal/journal_events.h"
#include "rehearsal.h"
#include "show/common_player.h"
#include "timecode/chase_input.h"

namespace fd::cli {

class RehearsalChase {
 public:
  // How long a show still waiting for the timecode goes on once a file source has ended.
  static constexpr uint32_t kGiveUpAfterFileMs = 3000;

  // nullptr with the reason when the source cannot be opened ("file not found: ...").
  static std::unique_ptr<RehearsalChase> Open(const std::string& sourceText, const timecode::Timecode& offset,
                                              platform::Clock& clock, std::string& error);
  ~RehearsalChase();

  // The player chases this source from now on; events and samples of its clock are kept while it
  // plays. tick0: the tick count the run's bench times count from.
  void Attach(show::TCommonPlayer& player, uint32_t tick0);
  // Starts hearing (a file from its beginning, this moment) and arms the show at startMs.
  bool StartAndArm(int32_t startMs, std::string& error);
  // Stops hearing; the player goes back to its own clock.
  void Detach();

  // The show time of a moment (ms since tick0) while the show played, by the clock samples kept:
  // the latest sample at or before it, run on at real time.
  double ShowMsAt(double sinceTick0Ms) const;
  // The show time now, as the player's clock stood at its latest reading plus the time since.
  int32_t ShowMsNow(uint32_t now) const;
  // Keeps a sample of the show clock (while the show plays).
  void Sample(uint32_t now);

  // A file source that has ended while the show waits for its timecode: true once it has waited
  // kGiveUpAfterFileMs more, and the show cannot start any more.
  bool GivenUp(uint32_t now);
  // Why the show never started, for the operator.
  std::string GiveUpText() const;

  // The timecode jumped forward in autonomous launch and the player stopped the show for it.
  bool StoppedByJump() const { return stoppedByJump_; }

  // The cues the player passed over, by their index in the scenario, with why.
  const std::vector<std::pair<int32_t, std::string>>& Skipped() const { return skipped_; }

  ChaseRun Run() const;
  std::string OffsetText() const;
  const std::string& SourceText() const { return input_->SourceText(); }

 private:
  explicit RehearsalChase(std::unique_ptr<timecode::ChaseInput> input) : input_(std::move(input)) {}

  std::unique_ptr<timecode::ChaseInput> input_;
  show::TCommonPlayer* player_ = nullptr;
  uint32_t tick0_ = 0;
  uint32_t lastFeedTick_ = 0;
  std::vector<ChaseMark> marks_;
  std::vector<std::pair<double, double>> samples_;  // (ms since tick0, show ms)
  std::vector<std::pair<int32_t, std::string>> skipped_;
  bool stoppedByJump_ = false;
  bool fileEnded_ = false;
  uint32_t fileEndedTick_ = 0;
};

}  // namespace fd::cli
