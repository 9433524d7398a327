#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "devices/cue_record.h"

namespace fd::show {

// What an operator should know about a scenario before writing it into the consoles.

// The console's memory generation, when a search has found it.
struct ConsoleFirmware {
  int Version = 0;     // 0x165 for "165"
  bool Motor = false;  // a motor console (takes motion cues only)
};

struct ConsoleUse {
  std::set<int> Channels;  // channel numbers as in the file (1-based)
  int ChannelCues = 0;
  int MotionCues = 0;
};

struct ScenarioWarning {
  std::string Code;       // stable key for tools: "time-10ms", "duplicate", ...
  std::string Text;       // one line for the operator
  std::vector<int> Cues;  // indexes into the cue list, ascending
};

struct ScenarioSummary {
  int Count = 0;
  int32_t FirstMs = 0;
  int32_t LastMs = 0;
  std::map<int, ConsoleUse> Consoles;
  std::vector<ScenarioWarning> Warnings;
};

// The largest time a memory record holds: 65535 units of 100 ms plus the finer digits.
inline constexpr int32_t kLatestRecordTime = 6553599;

// Summary and warnings for a list sorted by time. Without firmware (nullptr) the time warnings name
// both record generations; with it, each console is judged by its own generation and cues the
// write would skip or that a console could not hold are named too.
ScenarioSummary SummarizeScenario(const std::vector<devices::CueRecord>& cues,
                                  const std::map<int, ConsoleFirmware>* firmware = nullptr);

// "1:30:05.250" style text of a time in milliseconds, for reports.
std::string ShowTimeText(int32_t ms);

}  // namespace fd::show
