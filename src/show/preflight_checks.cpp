#include "show/preflight_checks.h"

#include <algorithm>
#include <array>
#include <set>

#include "devices/channel_test_rule.h"
#include "devices/common_control.h"
#include "devices/controls.h"
#include "devices/device_codes.h"
#include "devices/scenario_memory_fit.h"
#include "show/scenario_report.h"
#include "support/numbers.h"

namespace fd::show {

namespace {

constexpr int kIds = 256;

bool IsConsoleId(int id) { return id >= 1 && id <= 199; }

PreflightResult Finish(const std::set<int>& numbers, const char* heading) {
  PreflightResult result;
  result.Numbers.assign(numbers.begin(), numbers.end());
  result.Passed = result.Numbers.empty();
  if (!result.Passed) result.Heading = heading;
  return result;
}

}  // namespace

std::string PreflightResult::MemoText() const {
  std::string text;
  if (!Lines.empty()) {
    for (const std::string& line : Lines) text += (text.empty() ? "" : "\n") + line;
    return text;
  }
  for (size_t i = 0; i < Numbers.size(); ++i) {
    if (i) text += ", ";
    text += support::NumberText(Numbers[i]);
  }
  return text;
}

PreflightResult CheckUnconnected(const std::vector<devices::CueRecord>& cues, const devices::TControls& controls) {
  // Device IDs are 0..255; look each up once instead of once per cue.
  std::array<bool, kIds> registered{};
  for (int id = 0; id < kIds; ++id) registered[id] = controls.FindByID(id) != nullptr;

  std::set<int> missing;
  for (const auto& cue : cues) {
    bool known = cue.Console >= 0 && cue.Console < kIds && registered[cue.Console];
    if (!known) missing.insert(cue.Console);
  }
  return Finish(missing, kUnconnectedHeading);
}

PreflightResult CheckScenarioTimes(const std::vector<devices::CueRecord>& cues, const devices::TControls& controls) {
  // Per device ID: is there a registered device, and does an earlier time count against it.
  std::array<bool, kIds> registered{};
  std::array<bool, kIds> oneTimePerChannel{};
  for (int i = 0; i < controls.Count(); ++i) {
    const devices::TCommonDevice* device = controls.Items(i);
    if (!device || device->ID < 0 || device->ID >= kIds) continue;
    registered[device->ID] = true;
    if (IsConsoleId(device->ID) && device->Version < devices::kVersionRecordList) oneTimePerChannel[device->ID] = true;
  }

  std::array<int64_t, kIds> lastAccepted;
  lastAccepted.fill(-1);
  std::set<int> flagged;
  for (const auto& cue : cues) {
    if (cue.Console < 0 || cue.Console >= kIds || !registered[cue.Console]) continue;
    int id = cue.Console;
    if (cue.TimeMs < 1) {
      flagged.insert(id);
    } else if (cue.TimeMs >= lastAccepted[id]) {
      lastAccepted[id] = cue.TimeMs;
    } else if (oneTimePerChannel[id]) {
      flagged.insert(id);
    }
  }
  return Finish(flagged, kScenarioTimesHeading);
}

}  // namespace fd::show

namespace fd::show {

PreflightResult CheckCuesBeforeFirstRun(const std::vector<devices::CueRecord>& cues,
                                        const std::vector<int32_t>& leftOut) {
  PreflightResult result;
  for (int32_t index : leftOut) {
    if (index < 0 || static_cast<size_t>(index) >= cues.size()) continue;
    const devices::CueRecord& cue = cues[static_cast<size_t>(index)];
    std::string line = ShowTimeText(cue.TimeMs) + "  пульт " + support::NumberText(cue.Console);
    if (cue.CueKind == devices::ChannelCue) line += ", канал " + support::NumberText(cue.Channel + 1);
    result.Lines.push_back(std::move(line));
    if (std::find(result.Numbers.begin(), result.Numbers.end(), cue.Console) == result.Numbers.end())
      result.Numbers.push_back(cue.Console);
  }
  std::sort(result.Numbers.begin(), result.Numbers.end());
  result.Passed = result.Lines.empty();
  if (!result.Passed) result.Heading = kBeforeFirstRunHeading;
  return result;
}

}  // namespace fd::show

namespace fd::show {

std::string ScenarioFitFault(const std::vector<devices::CueRecord>& cues, devices::TControls& controls) {
  const std::vector<devices::UnfitCue> unfit = devices::FindUnfitCues(controls, cues);
  if (unfit.empty()) return {};
  const devices::UnfitCue& first = unfit.front();
  return devices::ScenarioFaultText(first.Line, devices::UnfitCauseText(cues[first.Index], first));
}

namespace {

// A memo of thousands of lines helps nobody: the first ones and how many more.
constexpr size_t kChannelUseLines = 100;

std::string CueText(const devices::CueRecord& cue) {
  using support::NumberText;
  return "строка " + NumberText(cue.Line) + ": " + ShowTimeText(cue.TimeMs) + "  пульт " + NumberText(cue.Console) +
         ", канал " + NumberText(static_cast<int64_t>(cue.Channel) + 1);
}

}  // namespace

PreflightResult CheckChannelUse(const std::vector<devices::CueRecord>& cues, const devices::TControls& controls) {
  std::array<const devices::TCommonControl*, kIds> consoles{};
  for (int i = 0; i < controls.Count(); ++i) {
    const auto* console = dynamic_cast<const devices::TCommonControl*>(controls.Items(i));
    if (console && IsConsoleId(console->ID) && console->Kind != devices::kKindMotor && !consoles[console->ID])
      consoles[console->ID] = console;
  }
  PreflightResult result;
  size_t more = 0;
  std::set<int> numbers;
  for (const devices::CueRecord& cue : cues) {
    if (cue.CueKind != devices::ChannelCue) continue;
    const int64_t channel = static_cast<int64_t>(cue.Channel) + 1;
    const devices::TCommonControl* console =
        cue.Console >= 0 && cue.Console < kIds ? consoles[static_cast<size_t>(cue.Console)] : nullptr;
    std::string why;
    if (channel == 0)
      why = "вне 1..512: сохраняется, но в прямом режиме не срабатывает";
    else if (channel < 1 || channel > 512)
      why = "вне 1..512";
    else if (console && console->ChannelCount > 0 && channel > console->ChannelCount)
      why = "больше числа каналов пульта (" + support::NumberText(console->ChannelCount) + ")";
    else if (console && console->StateOf(cue.Channel) == devices::kChannelOpen)
      why = "не подключен при последнем тесте";
    if (why.empty()) continue;
    numbers.insert(cue.Console);
    if (result.Lines.size() < kChannelUseLines)
      result.Lines.push_back(CueText(cue) + " " + why);
    else
      ++more;
  }
  if (more > 0) result.Lines.push_back("... и ещё " + support::NumberText(static_cast<int64_t>(more)));
  result.Numbers.assign(numbers.begin(), numbers.end());
  result.Passed = result.Lines.empty();
  if (!result.Passed) result.Heading = kScenarioTimesHeading;
  return result;
}

}  // namespace fd::show
