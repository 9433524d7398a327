#pragma once

#include <vector>

#include "devices/cue_record.h"
#include "journal/show_resume.h"
#include "show/journal_header.h"

namespace fd::show {

// The list's cues as the journal names them, for planning a resume against a journal.
inline journal::ScenarioCues ResumeCuesOf(const std::vector<devices::CueRecord>& cues) {
  journal::ScenarioCues named;
  named.reserve(cues.size());
  for (const devices::CueRecord& cue : cues) named.push_back(JournalCueOf(cue));
  return named;
}

}  // namespace fd::show
