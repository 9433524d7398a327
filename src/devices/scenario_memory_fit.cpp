// Whether the consoles can hold the scenario at all. The write checks this before its first frame:
// a cue that no record can carry is the scenario's fault, and finding it half-way would leave the
// consoles before it holding half a show and tell the operator that the hardware failed.
#include "devices/scenario_memory_fit.h"

#include <algorithm>
#include <optional>

#include "bus/tport_codec.h"
#include "devices/common_control.h"
#include "devices/controls.h"
#include "devices/device_codes.h"
#include "support/localizer.h"
#include "support/numbers.h"

namespace fd::devices {

namespace {

// The fit of one cue on one console, encoded as the write would encode it (scenario_memory.cpp).
std::optional<CueUnfit> Judge(const TCommonControl& console, const CueRecord& cue) {
  uint8_t high, low, byte;
  if (console.Kind == kKindMotor) {
    // Below 165 the run stops with its own code; channel cues get no motor record.
    if (console.Version < kVersionConfirmedWrite || !IsMotionCue(cue.CueKind)) return std::nullopt;
    if (!bus::codec::CoarseTime(cue.TimeMs, high, low)) return CueUnfit::Time;
    if (!bus::codec::ParamByte(cue.Param1, byte) || !bus::codec::ParamByte(cue.Param2, byte))
      return CueUnfit::Parameter;
    return std::nullopt;
  }
  if (cue.CueKind != ChannelCue) return std::nullopt;  // no channel: nothing is written for it
  if (!bus::codec::CoarseTime(cue.TimeMs, high, low)) return CueUnfit::Time;
  if (!bus::codec::Channel9(cue.Channel, byte, high)) return CueUnfit::Channel;
  return std::nullopt;
}

}  // namespace

std::vector<UnfitCue> FindUnfitCues(TControls& controls, const std::vector<CueRecord>& cues) {
  // Consoles by bus number; a number registered twice (on two converters) must suit both.
  std::vector<std::vector<const TCommonControl*>> byId(200);
  for (int i = 0; i < controls.Count(); ++i) {
    const auto* console = dynamic_cast<const TCommonControl*>(controls.Items(i));
    if (console && console->ID >= 1 && console->ID <= 199) byId[static_cast<size_t>(console->ID)].push_back(console);
  }

  std::vector<UnfitCue> unfit;
  for (size_t i = 0; i < cues.size(); ++i) {
    const CueRecord& cue = cues[i];
    if (cue.Console < 1 || cue.Console > 199) continue;
    for (const TCommonControl* console : byId[static_cast<size_t>(cue.Console)]) {
      if (auto why = Judge(*console, cue)) {
        unfit.push_back({i, cue.Line, cue.Console, *why});
        break;
      }
    }
  }
  std::stable_sort(unfit.begin(), unfit.end(), [](const UnfitCue& a, const UnfitCue& b) { return a.Line < b.Line; });
  return unfit;
}

std::string ScenarioFaultText(int line) { return "Ошибка сценария (строка: " + support::NumberText(line) + ")."; }

std::string UnfitReasonText(const CueRecord& cue, CueUnfit why) {
  switch (why) {
    case CueUnfit::Time:
      return "time " + support::NumberText(cue.TimeMs) + " ms outside 0..6553599 ms";
    case CueUnfit::Channel:
      return "channel " + support::NumberText(static_cast<int64_t>(cue.Channel) + 1) + " outside 0..511";
    case CueUnfit::Parameter:
      return "motion parameters " + support::NumberText(cue.Param1) + ", " + support::NumberText(cue.Param2) +
             " outside 0..255";
  }
  return {};
}

}  // namespace fd::devices
