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

// Firing consoles that keep a list of records, as many as their channels (a count the console
// reported; without it nothing is judged).
bool HasRecordList(const TCommonControl& console) {
  return console.Kind != kKindMotor && console.Version >= kVersionRecordList && console.ChannelCount > 0;
}

// A motion's parameters as the file gives them: a turn's duration in seconds (a record holds 25.5 s
// in tenths), a level in percent of the full byte.
std::string MotionCauseText(const CueRecord& cue) {
  using support::NumberText;
  const bool turn = cue.CueKind == MotionLT || cue.CueKind == MotionRT;
  if (turn && (cue.Param1 < 0 || cue.Param1 > 255)) {
    const int64_t tenths = cue.Param1 < 0 ? -int64_t{cue.Param1} : cue.Param1;
    return std::string("Длительность ") + (cue.Param1 < 0 ? "-" : "") + NumberText(tenths / 10) + "," +
           NumberText(tenths % 10) + " с вне диапазона 0..25,5 с.";
  }
  const int64_t level = turn ? cue.Param2 : cue.Param1;
  const int64_t percent = (level * 100 + (level < 0 ? -127 : 127)) / 255;
  return "Уровень " + NumberText(percent) + " % вне диапазона 0..100 %.";
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
  // Firing consoles from 148 on keep their cues in records numbered in write order, as many as they
  // have channels: the cues after the last record would be lost on the way in.
  std::vector<int> recordsUsed(200, 0), cuesOn(200, 0);
  for (const CueRecord& cue : cues)
    if (cue.Console >= 1 && cue.Console <= 199 && cue.CueKind == ChannelCue) ++cuesOn[static_cast<size_t>(cue.Console)];
  for (size_t i = 0; i < cues.size(); ++i) {
    const CueRecord& cue = cues[i];
    if (cue.Console < 1 || cue.Console > 199) continue;
    const auto id = static_cast<size_t>(cue.Console);
    bool counted = false;
    for (const TCommonControl* console : byId[id]) {
      if (auto why = Judge(*console, cue)) {
        unfit.push_back({i, cue.Line, cue.Console, *why});
        break;
      }
      if (HasRecordList(*console) && cue.CueKind == ChannelCue && !counted) {
        counted = true;
        if (++recordsUsed[id] > console->ChannelCount) {
          unfit.push_back({i, cue.Line, cue.Console, CueUnfit::Records, console->ChannelCount, cuesOn[id]});
          break;
        }
      }
    }
  }
  std::stable_sort(unfit.begin(), unfit.end(), [](const UnfitCue& a, const UnfitCue& b) { return a.Line < b.Line; });
  return unfit;
}

std::string ScenarioFaultText(int line) { return "Ошибка сценария (строка: " + support::NumberText(line) + ")."; }

std::string ScenarioFaultText(int line, const std::string& cause) {
  return cause.empty() ? ScenarioFaultText(line) : ScenarioFaultText(line) + " " + cause;
}

std::string UnfitCauseText(const CueRecord& cue, const UnfitCue& unfit) {
  using support::NumberText;
  switch (unfit.Why) {
    case CueUnfit::Time:
      return "Время " + NumberText(cue.TimeMs) + " мс вне диапазона 0..6553599 мс.";
    case CueUnfit::Channel:
      return "Канал " + NumberText(static_cast<int64_t>(cue.Channel) + 1) + " вне диапазона 0..511.";
    case CueUnfit::Parameter:
      return MotionCauseText(cue);
    case CueUnfit::Records:
      return "Пульту " + NumberText(unfit.Console) + " назначено команд: " + NumberText(unfit.CuesOnConsole) +
             ", записей в пульте: " + NumberText(unfit.Records) + ".";
  }
  return {};
}

std::string UnfitReasonText(const CueRecord& cue, const UnfitCue& unfit) {
  switch (unfit.Why) {
    case CueUnfit::Time:
      return "time " + support::NumberText(cue.TimeMs) + " ms outside 0..6553599 ms";
    case CueUnfit::Channel:
      return "channel " + support::NumberText(static_cast<int64_t>(cue.Channel) + 1) + " outside 0..511";
    case CueUnfit::Parameter:
      return "motion parameters " + support::NumberText(cue.Param1) + ", " + support::NumberText(cue.Param2) +
             " outside 0..255";
    case CueUnfit::Records:
      return support::NumberText(unfit.CuesOnConsole) + " cues for console " + support::NumberText(unfit.Console) +
             ", which has " + support::NumberText(unfit.Records) + " records";
  }
  return {};
}

}  // namespace fd::devices
