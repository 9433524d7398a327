#pragma once

// What a write or a verify did, console by console, for its journal and for `write --json` and
// `verify --json`: how many cues each console took (or gave back), and the cue at which a verify
// found a difference, by its scenario line.

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "devices/cue_record.h"

namespace fd::show {

using OrderedJson = nlohmann::ordered_json;

class MemoryPassLog {
 public:
  // cues: the scenario as the run walks it (sorted by time); a run visits each console's cues in
  // that order, and raises one progress event per cue.
  explicit MemoryPassLog(const std::vector<devices::CueRecord>& cues);

  // A progress event for a cue of the console.
  void Note(int consoleId);
  // The pass as one JSON object: its name, result text and code, per console the cues handled and
  // the records they take, and for a verify that found a difference the cue it was found at.
  OrderedJson PassJson(const std::string& pass, int code, const std::string& result) const;

 private:
  std::map<int, std::vector<const devices::CueRecord*>> byConsole_;
  std::vector<std::pair<int, int>> handled_;  // console, cues, in the order the run visited them
};

// The journal's event of a pass: "event" the pass's name, the time, then the pass's own fields.
std::string MemoryPassEvent(const OrderedJson& pass);

}  // namespace fd::show
