#pragma once

// Cues as a scenario line would give them, for tests that build a scenario in code.
#include <cstdint>

#include "devices/cue_record.h"

namespace fd::testing_cues {

// A channel cue; the channel is numbered as in the file (from 1).
inline devices::CueRecord Channel(int32_t time, int32_t console, int32_t fileChannel) {
  devices::CueRecord cue;
  cue.TimeMs = time;
  cue.Console = console;
  cue.Channel = fileChannel - 1;
  cue.CueKind = devices::ChannelCue;
  return cue;
}

// A motion cue with the loader's defaults for omitted parameters.
inline devices::CueRecord Motion(int32_t time, int32_t console, int32_t kind, int32_t p1 = 255, int32_t p2 = 0) {
  devices::CueRecord cue;
  cue.TimeMs = time;
  cue.Console = console;
  cue.Channel = -1;
  cue.CueKind = kind;
  cue.Param1 = p1;
  cue.Param2 = p2;
  return cue;
}

}  // namespace fd::testing_cues
