#include "show/scenario_report.h"

#include <cstdio>
#include <tuple>
#include <utility>

#include "devices/device_codes.h"

namespace fd::show {

namespace {

using devices::CueRecord;

bool IsChannelCue(const CueRecord& cue) { return cue.CueKind == devices::ChannelCue; }
bool FileChannelInTable(const CueRecord& cue) { return devices::ChannelInTable(cue.Channel); }
bool IsByte(int32_t v) { return v >= 0 && v <= 255; }

class WarningList {
 public:
  void Add(const std::string& code, const std::string& text, int cue) {
    auto it = byCode_.find(code);
    if (it == byCode_.end()) {
      it = byCode_.emplace(code, warnings_.size()).first;
      warnings_.push_back(ScenarioWarning{code, text, {}});
    }
    warnings_[it->second].Cues.push_back(cue);
  }
  std::vector<ScenarioWarning> Take() { return std::move(warnings_); }

 private:
  std::map<std::string, size_t> byCode_;
  std::vector<ScenarioWarning> warnings_;
};

void TimeWarningsWithoutBus(const CueRecord& cue, int index, WarningList& warnings) {
  if (IsChannelCue(cue)) {
    if (cue.TimeMs % 10 != 0)
      warnings.Add("time-10ms",
                   "times not on a 10 ms step: consoles below firmware 165 store them rounded down to 10 ms", index);
    if (cue.TimeMs % 2 != 0)
      warnings.Add("time-2ms",
                   "times on an odd millisecond: consoles from firmware 165 on store them rounded down to 2 ms", index);
  } else if (cue.TimeMs % 100 != 0) {
    warnings.Add("time-100ms-motion",
                 "motion cues not on a 100 ms step: motor consoles store them rounded down to 100 ms", index);
  }
}

void ConsoleWarnings(const CueRecord& cue, int index, const ConsoleFirmware& fw, WarningList& warnings) {
  if (fw.Motor) {
    if (IsChannelCue(cue)) {
      warnings.Add("channel-cue-on-motor", "channel cues for a motor console: not written, not verified", index);
      return;
    }
    if (fw.Version < devices::kVersionConfirmedWrite) {
      warnings.Add("motor-firmware", "motion cues for a motor console below firmware 165: the write stops there (-10)",
                   index);
      return;
    }
    if (cue.TimeMs % 100 != 0)
      warnings.Add("time-100ms-motion",
                   "motion cues not on a 100 ms step: motor consoles store them rounded down to 100 ms", index);
    return;
  }
  if (!IsChannelCue(cue)) {
    warnings.Add("motion-cue-on-console",
                 "motion cues for a console that is not a motor console: not written, not verified", index);
    return;
  }
  if (fw.Version < devices::kVersionConfirmedWrite) {
    if (cue.TimeMs % 10 != 0)
      warnings.Add("time-10ms",
                   "times not on a 10 ms step for consoles below firmware 165: stored rounded down to 10 ms", index);
  } else if (cue.TimeMs % 2 != 0) {
    warnings.Add("time-2ms",
                 "times on an odd millisecond for consoles from firmware 165 on: stored rounded down to 2 ms", index);
  }
}

}  // namespace

std::string ShowTimeText(int32_t ms) {
  int64_t v = ms;
  bool negative = v < 0;
  if (negative) v = -v;
  char text[40];
  std::snprintf(text, sizeof text, "%s%lld:%02lld:%02lld.%03lld", negative ? "-" : "",
                static_cast<long long>(v / 3600000), static_cast<long long>(v / 60000 % 60),
                static_cast<long long>(v / 1000 % 60), static_cast<long long>(v % 1000));
  return text;
}

ScenarioSummary SummarizeScenario(const std::vector<CueRecord>& cues, const std::map<int, ConsoleFirmware>* firmware) {
  ScenarioSummary summary;
  summary.Count = static_cast<int>(cues.size());
  if (!cues.empty()) {
    summary.FirstMs = cues.front().TimeMs;
    summary.LastMs = cues.back().TimeMs;
  }

  WarningList warnings;
  // (time, console, channel or kind) of every cue, to find the second of two equal cues.
  std::set<std::tuple<int32_t, int32_t, int32_t, int32_t>> seen;
  // Consoles below 148 keep one time per channel: (console, channel) already written.
  std::set<std::pair<int32_t, int32_t>> cellTaken;

  for (int i = 0; i < static_cast<int>(cues.size()); ++i) {
    const CueRecord& cue = cues[i];
    ConsoleUse& use = summary.Consoles[cue.Console];
    if (IsChannelCue(cue)) {
      ++use.ChannelCues;
      use.Channels.insert(static_cast<int>(static_cast<uint32_t>(cue.Channel) + 1u));  // file numbers, wrap-safe
    } else {
      ++use.MotionCues;
    }

    if (cue.Console < 1 || cue.Console > 199)
      warnings.Add("console-range", "console numbers outside 1..199: no firing console can have them", i);
    if (IsChannelCue(cue) && !FileChannelInTable(cue))
      warnings.Add("channel-range", "channel numbers outside 1..512", i);
    else if (IsChannelCue(cue) && cue.Channel == devices::kChannelTableSize - 1)
      warnings.Add("channel-512", "channel 512: a console's memory records hold channels 1..511 only", i);
    if (!IsChannelCue(cue) && (!IsByte(cue.Param1) || !IsByte(cue.Param2)))
      warnings.Add("motion-parameter", "motion parameters outside 0..255 (a level above 100 % or a long duration)", i);
    if (cue.TimeMs < 1) warnings.Add("time-start", "times at or before the show start (below 1 ms)", i);
    if (cue.TimeMs > kLatestRecordTime)
      warnings.Add("time-late", "times after 1:49:13.599 (6 553 599 ms): a console's memory record cannot hold them",
                   i);

    int32_t channel = IsChannelCue(cue) ? cue.Channel : 0;
    if (!seen.emplace(cue.TimeMs, cue.Console, cue.CueKind, channel).second)
      warnings.Add("duplicate", "duplicate cues (same time, console and channel or motion command)", i);

    if (!firmware) {
      TimeWarningsWithoutBus(cue, i, warnings);
      continue;
    }
    auto fw = firmware->find(cue.Console);
    if (fw == firmware->end()) continue;  // not connected: the pre-flight check names it
    ConsoleWarnings(cue, i, fw->second, warnings);
    if (!fw->second.Motor && IsChannelCue(cue) && fw->second.Version < devices::kVersionRecordList &&
        !cellTaken.emplace(cue.Console, cue.Channel).second)
      warnings.Add("channel-overwritten",
                   "a second cue on one channel of a console below firmware 148 (one time per channel): only the "
                   "later time is kept",
                   i);
  }
  summary.Warnings = warnings.Take();
  return summary;
}

}  // namespace fd::show
