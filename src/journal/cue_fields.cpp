#include "journal/cue_fields.h"

#include "journal/journal_reader.h"

namespace fd::journal {

std::optional<CueId> ReadCueId(const nlohmann::json& event) {
  const auto line = JsonWhole(event, "line");
  const auto console = JsonWhole(event, "console");
  const auto planned = JsonWhole(event, "planned_ms");
  const auto channel = JsonWhole(event, "channel");
  const auto motion = JsonWhole(event, "motion");
  if (!line || !console || !planned || (!channel && !motion)) return std::nullopt;
  CueId cue;
  cue.line = *line;
  cue.console = *console;
  cue.channel = motion ? -1 : *channel;
  cue.motion = motion.value_or(-1);
  cue.plannedMs = *planned;
  return cue;
}

}  // namespace fd::journal
