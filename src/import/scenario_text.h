#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "devices/cue_record.h"

namespace fd::import {

// A time as the scenario file writes it, read back by the loader to the same milliseconds:
// "0:01:30.500" within a day, seconds ("-1.500", "90000.250") outside it.
std::string ScenarioTimeText(int32_t ms);

// The third field of a cue: its channel number, or its motion command with the duration in
// seconds and the levels as percentages ("#LT#2.5#80"), read back to the same parameters.
std::string ScenarioTarget(const devices::CueRecord& cue);

// A comment as the scenario can hold it: one line of at most 255 Windows-1251 characters, without
// the blanks in front that the loader skips. Characters the code page does not have become "?".
struct ScenarioComment {
  std::string Utf8;     // what the loader reads back from the file's Windows-1251 bytes
  size_t Replaced = 0;  // characters that became "?"
};
ScenarioComment MakeScenarioComment(std::string_view utf8);

// The cue's line in the scenario file: Windows-1251, TAB-separated, CR LF at its end.
void AppendScenarioLine(const devices::CueRecord& cue, std::string& out);

}  // namespace fd::import

namespace fd::import {

// The whole scenario file of these cues, in their order.
std::string ScenarioFileBytes(const std::vector<devices::CueRecord>& cues);

}  // namespace fd::import
