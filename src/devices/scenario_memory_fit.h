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
};

struct UnfitCue {
  size_t Index;  // position in the list that was checked
  int Line;      // the cue's line in its file
  int Console;
  CueUnfit Why;
};

// Every cue that the write would send to a registered console but that the console's records
// cannot hold, judged by the same encoding the write uses for that console's class and firmware.
// Cues the write sends nothing for (no console with that number, a channel cue for a motor
// console, a motion cue for any other) are not named. Ordered by line.
std::vector<UnfitCue> FindUnfitCues(TControls& controls, const std::vector<CueRecord>& cues);

// "Ошибка сценария (строка: 2)."
std::string ScenarioFaultText(int line);

// What the cue asks for that does not fit, for listings: "time 6553600 ms", "channel 513", ...
std::string UnfitReasonText(const CueRecord& cue, CueUnfit why);

}  // namespace fd::devices
