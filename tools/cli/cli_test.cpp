// firnadesk-cli test: searches the bus once and tests every firing channel of one console or of
// all of them with the window's own channel test, then shows each console's channels as a grid,
// marking those the scenario fires. Ctrl+C stops after the channel being measured, as "<F3> Стоп"
// does, and what was tested is still reported.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "channel_grid.h"
#include "cli_bus.h"
#include "cli_command.h"
#include "cli_journal.h"
#include "cli_json.h"
#include "cli_output.h"
#include "cli_scenario_args.h"
#include "cli_search.h"
#include "cli_stop_signal.h"
#include "devices/channel_test_run.h"
#include "devices/common_control.h"
#include "show/channel_test_record.h"
#include "show/common_player.h"
#include "show/journal_header.h"
#include "show/project_list.h"
#include "support/terminal_text.h"

namespace fd::cli {
namespace {

constexpr const char* kName = "test";

struct TestArgs {
  BusOptions bus;
  bool busGiven = false;
  int console = -1;
  std::string scenario;
  bool json = false;
  bool fullSearch = false;
  std::string journalDir;
};

struct Tested {
  devices::TCommonControl* console = nullptr;
  bool completed = false;
};

int RunTest(const TestArgs& args) {
  // Measuring channels sends current through the igniters' circuits: only where the operator said.
  if (!args.busGiven) return PrintUsage(kName, "name the bus: --simulate[=BENCH] or --port PATH");

  show::TProjectList list;
  const bool withScenario = !args.scenario.empty();
  if (withScenario) {
    const show::LoadResult loaded = list.LoadFromFile(args.scenario);
    if (!loaded.Ok())
      return ReportError(kName, support::TerminalPath(args.scenario) + ": " + LoadFailureText(loaded),
                         LoadFailureExit(loaded));
    if (!loaded.EncodingHint.empty())
      ReportError(kName, support::TerminalPath(args.scenario) + ": warning: " + loaded.EncodingHint, 0);
  }

  CliJournal journal(args.journalDir, args.scenario, kName, "test");

  std::string error;
  std::unique_ptr<CliBus> bus = CliBus::Open(args.bus, error);
  if (!bus) return ReportError(kName, error, OpenFailureExit(args.bus));
  std::vector<int> listed = ScenarioConsoles(list);
  if (args.console >= 0) listed.push_back(args.console);
  const SearchOutcome searched = SearchBus(*bus, kName, withScenario && !args.fullSearch ? &listed : nullptr);
  if (searched == SearchOutcome::Failed) return kExitFailure;
  // Stopped while searching: the report says so and that nothing was tested.
  const bool stoppedInSearch = searched == SearchOutcome::Stopped;
  devices::TControls& controls = bus->Controls();
  devices::TControls::Hold hold(controls);
  list.MarkUsedChannels(controls);
  journal::JournalHeader header = show::ShowJournalHeader(args.scenario, {}, show::lmDirect, 0, controls, {});
  header.kind = "channel_test";
  header.launchMode.clear();
  if (!withScenario) header.scenarioPath.clear();
  journal.Open(header);

  int only = -1;
  if (args.console >= 0 && !stoppedInSearch) {
    for (int i = 0; i < controls.Count(); ++i)
      if (controls.Items(i)->ID == args.console) only = i;
    if (only < 0 || dynamic_cast<devices::TCommonControl*>(controls.Items(only)) == nullptr)
      return ReportError(kName,
                         "console " + std::to_string(args.console) + " did not answer on " + bus->ConverterText(),
                         kExitFailure);
  }
  std::fprintf(stderr, "firnadesk-cli %s: %d console(s) found on %s\n", kName, controls.ConsoleCount(),
               bus->ConverterText().c_str());

  StopSignals stop;
  ProgressLine progress;
  devices::ChannelTestRun run(controls, bus->Host());
  std::vector<Tested> tested;
  int current = only;
  run.OnChannel = [&] {
    if (StopSignals::Requested()) run.TestStop = true;
    auto* console = dynamic_cast<devices::TCommonControl*>(controls.Items(current));
    if (console == nullptr) return;
    // The run shows the first console again at its end: that is no new test.
    const bool known = std::any_of(tested.begin(), tested.end(), [&](const Tested& t) { return t.console == console; });
    if (!known) tested.push_back({console, false});
    int done = 0;
    while (done < console->TableChannels() && console->StateOf(done) != 0) ++done;
    progress.Show(std::string(kName) + ": console " + std::to_string(console->ID) + " " +
                  ProgressBar(console->TableChannels() ? done * 100 / console->TableChannels() : 100));
  };
  bool completed;
  if (stoppedInSearch) {
    completed = false;
  } else if (only >= 0) {
    completed = run.TestConsoleAt(only);
  } else {
    // TestAll moves `current` along the consoles; a console is complete once the next one starts.
    completed = run.TestAll(current);
  }
  progress.Clear();
  // The last console tested is complete only when the whole run was.
  for (size_t i = 0; i < tested.size(); ++i) tested[i].completed = i + 1 < tested.size() || completed;

  std::vector<UsedChannelFault> faults;
  for (const Tested& t : tested)
    for (const UsedChannelFault& f : UsedChannelFaults(*t.console)) faults.push_back(f);
  // A console the scenario fires that did not answer cannot be tested either.
  std::vector<int> missing;
  if (withScenario && !stoppedInSearch)
    for (int id : ScenarioConsoles(list))
      if (id >= 1 && id <= 199 && controls.FindByID(id) == nullptr && (args.console < 0 || id == args.console))
        missing.push_back(id);
  const bool ok = completed && faults.empty() && missing.empty();
  const int exitCode = ok ? kExitOk : kExitFailure;
  // What was measured, console by console.
  for (const Tested& t : tested) journal.Journal().Append(show::ChannelTestEvent(*t.console, t.completed));
  journal.Journal().Close(0);

  if (args.json) {
    Print("{\n  \"bus\": " + JsonString(bus->ConverterText()) + ",\n");
    Print("  \"consoles\": [");
    for (size_t i = 0; i < tested.size(); ++i)
      Print((i ? ",\n    " : "\n    ") + OneLine(ChannelGridJson(*tested[i].console, tested[i].completed)));
    Print(tested.empty() ? "],\n" : "\n  ],\n");
    Json summary;
    summary["stopped"] = !completed;
    Json bad = Json::array();
    for (const UsedChannelFault& f : faults)
      bad.push_back({{"console", f.console}, {"channel", f.channel}, {"state", StateName(f.state)}});
    summary["used_channels_not_ready"] = bad;
    summary["used_consoles_missing"] = missing;
    summary["exit_status"] = exitCode;
    Print("  \"summary\": " + OneLine(summary) + "\n}\n");
    return exitCode;
  }

  std::string out = "Channel test on " + bus->ConverterText() + "\n" + GridLegend();
  for (const Tested& t : tested) {
    out += "\n" + ChannelGridText(*t.console);
    if (!t.completed) out += "  (stopped: the channels marked ? were not tested)\n";
  }
  if (tested.empty()) out += "\nNo console to test.\n";
  out += "\n";
  if (!completed)
    out += stoppedInSearch ? "Stopped by the operator during the search.\n" : "Stopped by the operator.\n";
  for (const UsedChannelFault& f : faults)
    out += "Console " + std::to_string(f.console) + " channel " + std::to_string(f.channel) +
           " is used by the scenario and " + StateName(f.state) + ".\n";
  for (int id : missing) out += "Console " + std::to_string(id) + " is used by the scenario and did not answer.\n";
  if (withScenario && ok) out += "Every channel the scenario fires is connected.\n";
  Print(out);
  return exitCode;
}

Runner SetUpTest(CommandLine& line) {
  auto args = std::make_shared<TestArgs>();
  AddBusOptions(line, args->bus, &args->busGiven);
  CLI::App& app = line.App();
  line.Needs(app.add_option("--console", args->console, "test this console only")
                 ->type_name("ID")
                 ->check(CLI::Validator(
                     [](std::string& value) -> std::string {
                       const bool digits = !value.empty() && value.size() <= 3 &&
                                           value.find_first_not_of("0123456789") == std::string::npos;
                       if (!digits || std::stoi(value) < 1 || std::stoi(value) > 199)
                         return "--console takes a console number 1..199";
                       return {};
                     },
                     "", "console number")),
             "a console number");
  line.Needs(app.add_option("--scenario", args->scenario,
                            "mark the channels this scenario fires; fail if one is "
                            "not ready")
                 ->type_name("FILE"),
             "a scenario file");
  app.add_flag("--json", args->json, "one JSON document on standard output");
  app.add_flag("--full-search", args->fullSearch, "sweep every bus address even with --scenario");
  line.Needs(app.add_option("--journal-dir", args->journalDir,
                            "where the journal of the test goes (default: journal/ in the records folder)")
                 ->type_name("DIR"),
             "a folder");
  return [args] { return RunTest(*args); };
}

const CommandRegistration kTest{"test",
                                "(--simulate[=BENCH] | --port PATH) [--console ID] [--scenario FILE] [--json] "
                                "[--full-search] [--journal-dir DIR]",
                                "test the firing channels of one console or of all", &SetUpTest};

}  // namespace
}  // namespace fd::cli
