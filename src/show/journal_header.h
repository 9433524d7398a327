#pragma once

#include <cstdint>
#include <string>

#include "devices/controls.h"
#include "journal/journal_events.h"

namespace fd::show {

// The last scenario write and verify of this run, as the journal's header tells them.
struct MemoryResults {
  std::string writeResult;
  std::string writeSha256;
  std::string verifyResult;
  std::string verifySha256;
};

// The header of a show's journal: the program, the scenario and the soundtrack with their digests,
// the launch, and every console the registry holds as the show starts.
// A file's SHA-256, remembered for as long as its size and modification time stay the same: a
// soundtrack of a hundred megabytes is read once, when it is loaded, not again at every F5.
std::string RememberedFileSha256(const std::string& path);

// A cue as the journal names it: line, console, channel (from 1) or motion, planned time.
journal::CueEvent JournalCueOf(const devices::CueRecord& cue);

// scenarioPath: the file as it was opened (the list keeps only its name).
journal::JournalHeader ShowJournalHeader(const std::string& scenarioPath, const std::string& soundtrackPath,
                                         uint8_t launchMode, int32_t startMs, const devices::TControls& controls,
                                         const MemoryResults& memory);

}  // namespace fd::show
