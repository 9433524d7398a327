// firnadesk-cli write / verify: search the bus once (the scenario's consoles, or every address
// with --full-search), then write the scenario into the consoles'
// memory or read it back and compare, with a progress bar on standard error. Ctrl+C cancels at the
// next cue, as "Отмена" does in the window. "write --verify" reads back what it wrote in the same
// session (the only way to check a write on the in-process bench, which lives as long as the
// command). A console the scenario names that is not on the bus fails the command before anything
// is sent, unless --allow-missing says to go on with the others.
#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli_bus.h"
#include "cli_command.h"
#include "cli_journal.h"
#include "cli_json.h"
#include "cli_output.h"
#include "cli_scenario_args.h"
#include "cli_search.h"
#include "devices/controls.h"
#include "devices/scenario_memory.h"
#include "devices/scenario_memory_fit.h"
#include "show/common_player.h"
#include "show/journal_header.h"
#include "show/memory_pass_log.h"
#include "show/preflight_checks.h"
#include "show/project_list.h"
#include "support/terminal_text.h"

namespace fd::cli {
namespace {

constexpr uint8_t kRecordWrite = 0x91;

volatile std::sig_atomic_t interrupted = 0;

// The first Ctrl+C cancels at the next cue; a second one, when the line is stuck between cues,
// ends the program at once.
void OnInterrupt(int) {
  if (interrupted) {
    std::signal(SIGINT, SIG_DFL);
    std::raise(SIGINT);
    return;
  }
  interrupted = 1;
}

// Ctrl+C asks for a cancel for as long as a run lasts; the previous handling comes back after.
class InterruptCancels {
 public:
  InterruptCancels() {
    interrupted = 0;
    previous_ = std::signal(SIGINT, OnInterrupt);
  }
  ~InterruptCancels() { std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_); }
  InterruptCancels(const InterruptCancels&) = delete;
  InterruptCancels& operator=(const InterruptCancels&) = delete;

 private:
  void (*previous_)(int);
};

// "  line 2: 5 (0:00:05.000) console 9 channel 600: channel 600 outside 0..511"
void PrintUnfitCues(devices::TControls& controls, const std::vector<devices::CueRecord>& cues) {
  for (const devices::UnfitCue& u : devices::FindUnfitCues(controls, cues)) {
    const devices::CueRecord& cue = cues[u.Index];
    std::string what = cue.CueKind == devices::ChannelCue
                           ? "channel " + std::to_string(int64_t{cue.Channel} + 1)
                           : "motion " + std::to_string(cue.CueKind) + " " + std::to_string(cue.Param1) + " " +
                                 std::to_string(cue.Param2);
    Print("  line " + std::to_string(u.Line) + ": " + support::TerminalText(cue.TimeText) + " (" +
          std::to_string(cue.TimeMs) + " ms) console " + std::to_string(cue.Console) + " " + what + ": " +
          devices::UnfitReasonText(cue, u) + "\n");
  }
}

// The --json document: the scenario, the bus, each pass and what was left out.
void PrintMemoryJson(const char* name, const std::string& path, const std::string& busText, const Json& passes,
                     const std::vector<int>& missing, int recordFrames, int exitStatus, bool stopped = false) {
  Json doc;
  doc["command"] = name;
  doc["scenario"] = path;
  doc["bus"] = busText;
  doc["passes"] = passes;
  doc["consoles_left_out"] = missing;
  doc["record_frames_sent"] = recordFrames;
  doc["exit_status"] = exitStatus;
  if (stopped) doc["stopped_in_search"] = true;
  Print(doc.dump(2) + "\n");
}

void NotePreflight(const char* name, const show::PreflightResult& r) {
  if (!r.Passed) std::fprintf(stderr, "firnadesk-cli %s: %s %s\n", name, r.Heading.c_str(), r.MemoText().c_str());
}

int RunMemory(const char* name, bool write, const ScenarioArgs& parsed, const std::string& journalDir) {
  const BusOptions& options = parsed.bus;
  const bool busGiven = parsed.busGiven;
  const bool thenVerify = parsed.Has("--verify");
  const bool json = parsed.Has("--json");
  const std::string& path = parsed.path;
  // Consoles are written only where the operator said: the bench or a named serial device.
  if (!busGiven) return PrintUsage(name, "name the bus: --simulate[=BENCH] or --port PATH");

  show::TProjectList list;
  const show::LoadResult loaded = list.LoadFromFile(path);
  if (!loaded.Ok())
    return ReportError(name, support::TerminalPath(path) + ": " + LoadFailureText(loaded), LoadFailureExit(loaded));
  if (!loaded.EncodingHint.empty())
    ReportError(name, support::TerminalPath(path) + ": warning: " + loaded.EncodingHint, 0);

  CliJournal journal(journalDir, path, name, name);

  std::string error;
  std::unique_ptr<CliBus> bus = CliBus::Open(options, error);
  if (!bus) return ReportError(name, error, OpenFailureExit(options));
  const std::vector<int> listed = ScenarioConsoles(list);
  const char* nothingDone = write ? "nothing was written" : "nothing was verified";
  switch (SearchBus(*bus, name, parsed.Has("--full-search") ? nullptr : &listed)) {
    case SearchOutcome::Done:
      break;
    case SearchOutcome::Failed:
      return kExitFailure;
    case SearchOutcome::Stopped:
      if (json) PrintMemoryJson(name, path, bus->ConverterText(), Json::array(), {}, 0, kExitFailure, true);
      return ReportError(name, std::string(kStoppedInSearch) + ": " + nothingDone, kExitFailure);
  }
  devices::TControls& controls = bus->Controls();
  ProgressLine progress;
  std::fprintf(stderr, "firnadesk-cli %s: %s, %d cue(s), %d console(s) found on %s\n", name,
               support::TerminalText(list.FileName()).c_str(), list.Count(), controls.ConsoleCount(),
               bus->ConverterText().c_str());
  // A console left out is a show that cannot fire as planned: only on the operator's word
  // (the window's "Продолжить") does the run go on without it.
  const std::vector<int> missing = MissingConsoles(list, controls);
  if (!missing.empty() && !parsed.Has("--allow-missing")) {
    if (json) PrintMemoryJson(name, path, bus->ConverterText(), Json::array(), missing, 0, kExitFailure);
    return ReportError(name,
                       "the scenario names " + ConsolesText(missing) + ", not found on " + bus->ConverterText() + ": " +
                           nothingDone + " (--allow-missing goes on with the consoles found)",
                       kExitFailure);
  }
  // The window asks before going on; here the findings are told and the run goes on.
  NotePreflight(name, show::CheckUnconnected(list.Cues(), controls));
  if (write) NotePreflight(name, show::CheckScenarioTimes(list.Cues(), controls));
  if (write) NotePreflight(name, show::CheckChannelUse(list.Cues(), controls));

  InterruptCancels interrupt;
  platform::Platform& host = bus->Host();
  const char* pass = name;
  // The run sorts the list first; the log of a pass reads it as the run walks it.
  devices::SortCuesByTime(list.Cues());
  Json passes = Json::array();
  auto passLog = std::make_unique<show::MemoryPassLog>(list.Cues());
  controls.OnMemoryProgress = [&](int percent, int deviceIndex, int consoleId, int channel, bool& cancel) {
    cancel = interrupted != 0;
    if (deviceIndex >= 0) passLog->Note(consoleId);
    std::string text = std::string(pass) + ": " + ProgressBar(percent) + " " + std::to_string(percent) + "%";
    if (deviceIndex >= 0) text += "  console " + std::to_string(consoleId) + ", channel " + std::to_string(channel);
    progress.Show(text);
    host.ProcessPendingEvents();
  };
  // How many records went out: after a failed write the operator knows whether any console now
  // holds part of the scenario.
  int recordFrames = 0;
  bus->Port().OnFrameSent = [&](const bus::Frame6& frame) {
    if (frame[0] == kRecordWrite) ++recordFrames;
  };
  // The consoles as the work begins, then each pass as it ends: what was written or found, per console.
  journal::JournalHeader header = show::ShowJournalHeader(path, {}, show::lmDirect, 0, controls, {});
  header.kind = name;
  header.launchMode.clear();
  journal.Open(header);
  auto journalPass = [&](const Json& passJson) { journal.Journal().Append(show::MemoryPassEvent(passJson)); };
  int code = write ? controls.WriteScenario(list.Cues()) : controls.VerifyScenario(list.Cues());
  const int writeCode = write ? code : 0;
  const bool verifyingToo = code == 0 && thenVerify;
  auto resultText = [&](int c) {
    return ScenarioResultText(c, controls.ScenarioFaultLine, controls.ScenarioFaultCause);
  };
  if (verifyingToo) {
    progress.Clear();
    passes.push_back(passLog->PassJson("write", code, resultText(code)));
    journalPass(passes.back());
    if (!json) Print("write: " + resultText(code) + "\n");
    pass = "verify";
    passLog = std::make_unique<show::MemoryPassLog>(list.Cues());
    code = controls.VerifyScenario(list.Cues());
  }
  controls.OnMemoryProgress = nullptr;
  bus->Port().OnFrameSent = nullptr;
  progress.Clear();
  const int exitStatus = code == 0 ? kExitOk : kExitFailure;
  passes.push_back(passLog->PassJson(pass, code, resultText(code)));
  journalPass(passes.back());
  journal.Journal().Close(0);
  if (json) {
    PrintMemoryJson(name, path, bus->ConverterText(), passes, missing, recordFrames, exitStatus);
    return exitStatus;
  }

  Print(std::string(verifyingToo ? "verify: " : "") + resultText(code) + "\n");
  // Nothing was sent: every cue that keeps the scenario out of the consoles, by its line.
  if (controls.ScenarioFaultLine) PrintUnfitCues(controls, list.Cues());
  if (writeCode != 0) Print("record frames sent: " + std::to_string(recordFrames) + "\n");
  if (!missing.empty()) Print("left out, not found on the bus: " + ConsolesText(missing) + "\n");
  return exitStatus;
}

struct MemoryArgs {
  ScenarioArgs scenario;
  std::string journalDir;
};

void AddJournalDir(CommandLine& line, std::string& journalDir) {
  line.Needs(line.App()
                 .add_option("--journal-dir", journalDir,
                             "where the journal of the run goes (default: journal/ in the records folder)")
                 ->type_name("DIR"),
             "a folder");
}

Runner SetUpWrite(CommandLine& line) {
  auto args = std::make_shared<MemoryArgs>();
  AddScenarioArgs(line, {"--verify", "--full-search", "--allow-missing", "--json"}, args->scenario);
  AddJournalDir(line, args->journalDir);
  return [args] { return RunMemory("write", true, args->scenario, args->journalDir); };
}

Runner SetUpVerify(CommandLine& line) {
  auto args = std::make_shared<MemoryArgs>();
  AddScenarioArgs(line, {"--full-search", "--allow-missing", "--json"}, args->scenario);
  AddJournalDir(line, args->journalDir);
  return [args] { return RunMemory("verify", false, args->scenario, args->journalDir); };
}

const CommandRegistration kWrite{"write",
                                 "SCENARIO (--simulate[=BENCH] | --port PATH) [--verify] [--full-search] "
                                 "[--allow-missing] [--json] [--journal-dir DIR]",
                                 "search once and write the scenario into the consoles", &SetUpWrite};
const CommandRegistration kVerify{"verify",
                                  "SCENARIO (--simulate[=BENCH] | --port PATH) [--full-search] [--allow-missing] "
                                  "[--json] [--journal-dir DIR]",
                                  "search once and compare the consoles' memory with the scenario", &SetUpVerify};

}  // namespace
}  // namespace fd::cli
