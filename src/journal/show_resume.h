#pragma once

// Carrying on with a show that a crash, a kill or a power cut broke off. The journal holds every cue
// that was handed to the bus, written before its frame went out; a show carries on just after the
// last of them, and no cue the journal holds as sent is fired again from here, even when that means
// a cue whose frame never left (the kill fell between the journal's write and the frame) stays
// silent. Two shots of one cue are worse than none.
//
// Only direct launch is carried on. In autonomous launch the consoles play their stored scenario by
// their own clocks; a program that dies sends no stop frame, so they play on to the end of it, and
// the journal (which followed them a cue a tick at best) cannot tell what they fired. Such a show
// is never offered; the crew restarts it on purpose, or not at all.

#include <cstdint>
#include <string>
#include <vector>

#include "journal/journal_events.h"

namespace fd::journal {

// Why there is nothing to carry on with.
enum class ResumeRefusal {
  None,
  NoJournal,      // no show journal of this scenario in the folder
  Unreadable,     // the named journal (or one it carries on from) cannot be read
  NotAShow,       // a journal of a write, verify or channel test
  OtherScenario,  // the journal is of another scenario (another SHA-256)
  Closed,         // the show ended in order
  Autonomous,     // cut short in autonomous launch (see above)
  NothingSent,    // cut short before its first cue
  NotInScenario,  // the journal's cues are not this scenario's (lines, consoles or times differ)
  AllSent,        // every cue of the scenario had been sent
};

// The scenario's cues as the journal names them, in the list's order (time order, file order within
// one time): line, console, channel (from 1) or motion, planned_ms.
using ScenarioCues = std::vector<CueEvent>;

struct ResumePlan {
  std::string journalPath;         // the newest journal of the show: the one a resumed show names
  std::string lastSentJournal;     // the journal holding the last cue sent (journalPath, or one before it)
  CueEvent lastSent;               // as that journal holds it
  int32_t positionMs = 0;          // the show clock to carry on at: the last sent cue's planned time
  int32_t nextCue = 0;             // list index of the first cue to fire
  std::vector<int32_t> sentLines;  // the scenario lines the show's journals hold as sent, ascending
  int32_t remaining = 0;           // cues left to fire: nextCue to the end of the list
};

struct ResumeCheck {
  ResumeRefusal refusal = ResumeRefusal::None;
  std::string reason;  // for the operator, in English (the command line); empty when a plan is made
  ResumePlan plan;     // valid when refusal is None
  bool Offered() const { return refusal == ResumeRefusal::None; }
};

// A journal carries on from at most this many before it; a longer chain (or a loop) is refused.
inline constexpr int kMaxResumeChain = 64;

// The show in the named journal: refused when it is not a show of this scenario (sha256 of the
// scenario file as it is now), when it ended in order, when it ran in autonomous launch or sent
// nothing (walking back through "resumed_from" to the show it carried on from), or when its cues
// are not the scenario's.
ResumeCheck PlanResume(const std::string& journalPath, const std::string& scenarioSha256, const ScenarioCues& cues);

// The newest show journal of the scenario in folder (by the time its header was written), planned
// as above; NoJournal when the folder holds none. Journals of other scenarios are never looked at
// beyond their header.
ResumeCheck FindResume(const std::string& folder, const std::string& scenarioSha256, const ScenarioCues& cues);

}  // namespace fd::journal
