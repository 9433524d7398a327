// firnadesk-cli check: load a scenario and report what an operator should know before writing it
// into the consoles; with a bus, search once and add the pre-flight checks.
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cli_bus.h"
#include "cli_command.h"
#include "cli_json.h"
#include "cli_output.h"
#include "cli_scenario_args.h"
#include "cli_scenario_report.h"
#include "cli_search.h"
#include "devices/common_control.h"
#include "devices/controls.h"
#include "devices/device_codes.h"
#include "devices/scenario_memory_fit.h"
#include "show/preflight_checks.h"
#include "show/project_list.h"
#include "show/scenario_line_fault.h"
#include "show/scenario_report.h"
#include "support/terminal_text.h"

namespace fd::cli {
namespace {

using devices::CueRecord;

// What the consoles found cannot take: a channel beyond a console's channels, and more cues for a
// console than it has records (the write would report success and a verify then time out).
void AddCapacityWarnings(const std::vector<CueRecord>& cues, const BusFindings& bus, show::ScenarioSummary& summary) {
  show::ScenarioWarning beyond{"channel-beyond-console", "channel beyond the console's channel count", {}};
  std::map<int, std::vector<int>> stored;  // console -> cues that take a record
  for (size_t i = 0; i < cues.size(); ++i) {
    const CueRecord& cue = cues[i];
    const auto count = bus.channelCounts.find(cue.Console);
    const auto fw = bus.firmware.find(cue.Console);
    if (count == bus.channelCounts.end() || fw == bus.firmware.end()) continue;
    const bool channel = cue.CueKind == devices::ChannelCue;
    if (channel && !fw->second.Motor && FileChannel(cue) > count->second) beyond.Cues.push_back(static_cast<int>(i));
    // Below 148 a console keeps one cell per channel, so only the channel number can be too big.
    // A motor console keeps its motions in groups of records of its own: only firing consoles are
    // counted here.
    if (channel && !fw->second.Motor && fw->second.Version >= 0x148) stored[cue.Console].push_back(static_cast<int>(i));
  }
  if (!beyond.Cues.empty()) summary.Warnings.push_back(beyond);
  show::ScenarioWarning tooMany{"more-cues-than-records", "more cues for a console than it has records (", {}};
  std::string consoles;
  for (const auto& [console, indexes] : stored) {
    const int records = bus.channelCounts.at(console);
    if (static_cast<int>(indexes.size()) <= records) continue;
    consoles += (consoles.empty() ? "" : ", ") + std::string("console ") + std::to_string(console) + ": " +
                std::to_string(indexes.size()) + " cues, " + std::to_string(records) + " records";
    tooMany.Cues.insert(tooMany.Cues.end(), indexes.begin() + records, indexes.end());
  }
  if (tooMany.Cues.empty()) return;
  std::sort(tooMany.Cues.begin(), tooMany.Cues.end());
  tooMany.Text += consoles + ")";
  summary.Warnings.push_back(tooMany);
}

// The cues that make write and verify refuse the whole scenario on this bus, named like every
// other warning (the first of them, by line, is the one the write reports).
void AddUnfitWarning(const std::vector<devices::UnfitCue>& unfit, show::ScenarioSummary& summary) {
  if (unfit.empty()) return;
  std::vector<int> cues;
  for (const auto& u : unfit) cues.push_back(static_cast<int>(u.Index));
  std::sort(cues.begin(), cues.end());
  std::string lines;
  for (const auto& u : unfit) {
    if (!lines.empty()) lines += ", ";
    lines += std::to_string(u.Line);
  }
  summary.Warnings.push_back(
      show::ScenarioWarning{"unfit",
                            "cues the consoles' memory records cannot hold: write and verify refuse the scenario (" +
                                devices::ScenarioFaultText(unfit.front().Line) + " lines " + lines + ")",
                            std::move(cues)});
}

// --- the command -------------------------------------------------------------------------------

int RunCheck(const ScenarioArgs& parsed) {
  const BusOptions& options = parsed.bus;
  const bool busGiven = parsed.busGiven;
  const bool json = parsed.Has("--json");
  const std::string& path = parsed.path;

  show::TProjectList list;
  const show::LoadResult loaded = list.LoadFromFile(path);
  if (!loaded.Ok()) {
    ReportError("check", support::TerminalPath(path) + ": " + LoadFailureText(loaded), 0);
    if (json) PrintJsonLoadError(path, loaded);
    return LoadFailureExit(loaded);
  }
  if (!loaded.EncodingHint.empty())
    ReportError("check", support::TerminalPath(path) + ": warning: " + loaded.EncodingHint, 0);

  std::unique_ptr<BusFindings> findings;
  if (busGiven) {
    std::string error;
    std::unique_ptr<CliBus> bus = CliBus::Open(options, error);
    if (!bus) return ReportError("check", error, OpenFailureExit(options));
    // Ctrl+C or SIGTERM during the sweep ends the check with its message, as the other commands do.
    switch (SearchBus(*bus, "check", nullptr)) {
      case SearchOutcome::Done:
        break;
      case SearchOutcome::Failed:
        return kExitFailure;
      case SearchOutcome::Stopped:
        return ReportError("check", std::string(kStoppedInSearch) + ": nothing was checked on the bus", kExitFailure);
    }
    devices::TControls& controls = bus->Controls();
    findings = std::make_unique<BusFindings>();
    findings->converter = bus->ConverterText();
    findings->simulated = bus->Simulated();
    for (int i = 0; i < controls.Count(); ++i) {
      const devices::TCommonDevice* d = controls.Items(i);
      if (d && d->ID >= 1 && d->ID <= 199) {
        findings->firmware[d->ID] = show::ConsoleFirmware{d->Version, d->Kind == devices::kKindMotor};
        if (auto* console = dynamic_cast<const devices::TCommonControl*>(d); console && console->ChannelCount > 0)
          findings->channelCounts[d->ID] = console->ChannelCount;
      }
    }
    findings->unconnected = show::CheckUnconnected(list.Cues(), controls);
    findings->times = show::CheckScenarioTimes(list.Cues(), controls);
    findings->unfit = devices::FindUnfitCues(controls, list.Cues());
  }

  show::ScenarioSummary summary = show::SummarizeScenario(list.Cues(), findings ? &findings->firmware : nullptr);
  AddTimeWarnings(list.Cues(), summary);
  if (findings) AddCapacityWarnings(list.Cues(), *findings, summary);
  if (findings) AddUnfitWarning(findings->unfit, summary);
  if (json)
    PrintJsonReport(path, loaded, list, summary, findings.get());
  else
    Print(TextReport(list, summary, findings.get()));
  return kExitOk;
}

Runner SetUpCheck(CommandLine& line) {
  auto args = std::make_shared<ScenarioArgs>();
  AddScenarioArgs(line, {"--json"}, *args);
  return [args] { return RunCheck(*args); };
}

const CommandRegistration kCheck{"check", "SCENARIO [--json] " + std::string(kBusOptionsUsage),
                                 "load a scenario and list what to know before writing it", &SetUpCheck};

}  // namespace
}  // namespace fd::cli
