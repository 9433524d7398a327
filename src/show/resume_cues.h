#pragma once

#include <vector>

#include "devices/cue_record.h"
#include "journal/show_resume.h"

namespace fd::show {

// The list's cues as the journal names them, for planning a resume against a journal.
inline journal::ScenarioCues ResumeCuesOf(const std::vector<devices::CueRecord>& cues) {
  journal::ScenarioCues named;
  named.reserve(cues.size());
  for (const devices::CueRecord& cue : cues) {
    journal::CueEvent event;
    event.line = cue.Line;
    event.console = cue.Console;
    if (devices::IsMotionCue(cue.CueKind))
      event.motion = cue.CueKind;
    else
      event.channel = cue.Channel + 1;
    event.plannedMs = cue.TimeMs;
    named.push_back(event);
  }
  return named;
}

}  // namespace fd::show
