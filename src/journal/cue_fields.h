#pragma once

#include <nlohmann/json.hpp>
#include <optional>

#include "journal/journal_events.h"

namespace fd::journal {

// A cue's fields as every cue event of the journal carries them, and the report's JSON after it:
// "line", "console", "channel" (from 1) or "motion", "planned_ms". The journal keeps its keys in
// order and the report too, so this takes either kind of JSON object.
template <typename JsonObject>
void PutCueId(JsonObject& object, const CueId& cue) {
  object["line"] = cue.line;
  object["console"] = cue.console;
  if (cue.motion >= 0)
    object["motion"] = cue.motion;
  else
    object["channel"] = cue.channel;
  object["planned_ms"] = cue.plannedMs;
}

// The cue an event names; nullopt when a field is missing. An event naming both a motion and a
// channel is taken as the motion cue, as the journal writes a motion cue with no channel.
std::optional<CueId> ReadCueId(const nlohmann::json& event);

}  // namespace fd::journal
