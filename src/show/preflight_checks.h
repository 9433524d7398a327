#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "devices/cue_record.h"

namespace fd::devices {
class TControls;
}

namespace fd::show {

// The outcome of a check before the scenario goes into the consoles. When it did not pass, the
// window shows Heading and MemoText() and lets the operator go on or cancel.
struct PreflightResult {
  bool Passed = true;
  std::vector<int> Numbers;        // offending console numbers or device IDs, ascending, each once
  std::string Heading;             // empty when passed
  std::vector<std::string> Lines;  // one line a cue, when the check is about cues, not consoles

  // "3, 7", or the lines one under the other
  std::string MemoText() const;
};

inline constexpr const char* kUnconnectedHeading = "В сценарии обнаружены неподключенные пульты...";
inline constexpr const char* kScenarioTimesHeading = "Сценарий может быть воспроизведен некорректно...";

// Console numbers of the scenario without a registered device. Numbers outside 0..255 can never
// have one and are listed like the others.
PreflightResult CheckUnconnected(const std::vector<devices::CueRecord>& cues, const devices::TControls& controls);

inline constexpr const char* kBeforeFirstRunHeading = "Команды до первой синхронизации не будут выполнены пультами...";

// The cues (indexes into cues) that a start in autonomous launch leaves out because they lie
// before its first run broadcast: one line each with the time, the console and the channel.
PreflightResult CheckCuesBeforeFirstRun(const std::vector<devices::CueRecord>& cues,
                                        const std::vector<int32_t>& leftOut);

// Registered devices whose cues the consoles may not play as written: a cue at a time below 1 ms,
// or (for consoles below firmware 148, which keep one time per channel) a time earlier than the
// cue before it for the same console.
PreflightResult CheckScenarioTimes(const std::vector<devices::CueRecord>& cues, const devices::TControls& controls);

// The first cue the registered consoles' records cannot hold, as the message a write or verify
// refuses the scenario with ("Ошибка сценария (строка: 2). Канал 600 вне диапазона 0..511."); empty
// when every cue fits. Asked before the operator is asked anything else: no answer makes it fit.
std::string ScenarioFitFault(const std::vector<devices::CueRecord>& cues, devices::TControls& controls);

// Channel cues that will not fire as the file reads, one line each: a channel number outside
// 1..512 (channel 0 is stored but never fired in direct launch), a channel beyond its registered
// console's channel count, and a channel the console's last channel test found not connected.
PreflightResult CheckChannelUse(const std::vector<devices::CueRecord>& cues, const devices::TControls& controls);

}  // namespace fd::show
