#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fd::devices {

// Kinds of cue: a channel to fire, or one of the motion commands of a motor console.
enum CueKind : int32_t {
  ChannelCue = 0,
  MotionC = 50,
  MotionL = 51,
  MotionR = 52,
  MotionLT = 53,
  MotionRT = 54,
};

inline bool IsMotionCue(int32_t kind) { return kind >= MotionC && kind <= MotionRT; }

// One line of a scenario. Texts are UTF-8 here (the file is Windows-1251); TimeText holds at most
// 32 and Comment at most 255 characters of the file.
struct CueRecord {
  std::string TimeText;
  int32_t TimeMs = 0;
  int32_t Console = 0;
  int32_t Channel = 0;  // 0-based; meaningful for ChannelCue only
  int32_t CueKind = ChannelCue;
  int32_t Param1 = 0;
  int32_t Param2 = 0;
  std::string Comment;
  // Where the cue stands in its file (1-based, counting empty lines), so that a fault found after
  // sorting is still told by the line the operator can look up; 0 for a cue not read from a file.
  int32_t Line = 0;
};

// Stable ascending sort by TimeMs: equal times keep their order.
void SortCuesByTime(std::vector<CueRecord>& cues);

}  // namespace fd::devices
