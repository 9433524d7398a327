#pragma once

#include <cstdint>

namespace fd::app {

// What the enabling rules of the main window look at.
struct EnablingInputs {
  bool TestView = false;   // T
  bool Searching = false;  // S
  bool Testing = false;    // X
  bool Playing = false;    // P
  uint8_t Mode = 0;        // M, the operating mode
  int CueCount = 0;        // N
  int ConsoleCount = 0;    // C
};

struct EnabledControls {
  bool TestBtn, SearchBtn, SoundBtn, ProjectBtn, BeginBtn, StartBtn, StopBtn, SaveBtn, CheckBtn;
  bool DownBtn, UpBtn, ControlTestBtn, TestAllBtn, TestStopBtn;
  bool ControlAction, ExitAction, ColorAction;
};

EnabledControls EnablingRules(const EnablingInputs& in);

}  // namespace fd::app
