#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "devices/cue_record.h"

namespace fd::devices {

class TControls;

// Why a console's memory record cannot hold a cue.
enum class CueUnfit {
  Time,       // before the show start, or past 65535 tenths of a second (6 553 599 ms)
  Channel,    // outside the 9-bit record form: file channel numbers 0..511 only
  Parameter,  // a motion parameter outside 0..255
  Records,    // more cues for a firing console than it has records (firmware 148 on)
};

struct UnfitCue {
  size_t Index;  // position in the list that was checked
  int Line;      // the cue's line in its file
  int Console;
  CueUnfit Why;
  int Records = 0;        // Records: how many the console has
  int CuesOnConsole = 0;  // Records: how many cues the scenario gives it
};

// Every cue that the write would send to a registered console but that the console's records
// cannot hold, judged by the same encoding the write uses for that console's class and firmware.
// Cues the write sends nothing for (no console with that number, a channel cue for a motor
// console, a motion cue for any other) are not named. Ordered by line.
std::vector<UnfitCue> FindUnfitCues(TControls& controls, const std::vector<CueRecord>& cues);

// "Ошибка сценария (строка: 2)."
std::string ScenarioFaultText(int line);
// The message with its cause after it: "Ошибка сценария (строка: 2). Канал 600 вне диапазона 0..511."
std::string ScenarioFaultText(int line, const std::string& cause);

// Why the cue does not fit, for the operator: "Канал 600 вне диапазона 0..511."
std::string UnfitCauseText(const CueRecord& cue, const UnfitCue& unfit);

// What the cue asks for that does not fit, for listings: "time 6553600 ms", "channel 513", ...
std::string UnfitReasonText(const CueRecord& cue, const UnfitCue& unfit);

}  // namespace fd::devices
