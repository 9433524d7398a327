// firnadesk-cli rehearse: runs a show through the show player exactly as the window does, in real
// time, and tells afterwards when each cue's frame went out, when its console fired (on the
// in-process bench) and how late, what did not fire and what fired unasked. Ctrl+C is the
// operator's stop.
#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "cli_bus.h"
#include "cli_command.h"
#include "cli_journal.h"
#include "cli_json.h"
#include "cli_output.h"
#include "cli_rehearse_usage.h"
#include "cli_scenario_args.h"
#include "cli_search.h"
#include "cli_stop_signal.h"
#include "journal/show_resume.h"
#include "platform/clock.h"
#include "rehearsal.h"
#include "rehearse_chase.h"
#include "report/timeline_picture.h"
#include "show/common_player.h"
#include "show/journal_header.h"
#include "show/operating_mode.h"
#include "show/preflight_checks.h"
#include "show/resume_cues.h"
#include "show/scenario_report.h"
#include "show/scenario_time.h"
#include "sim/bench.h"
#include "support/run_log.h"
#include "support/sha256.h"
#include "support/terminal_text.h"

namespace fd::cli {
namespace {

constexpr const char* kName = kRehearseName;
// How long a stop that could not go out waits for the converter after the show.
constexpr uint32_t kStopDeliveryWaitMs = 10000;

struct RehearseArgs {
  ScenarioArgs scenario;
  std::string soundtrack;
  std::string from;
  std::string journalDir;
  std::string plot;
  std::string resume;          // the journal of a show cut short, to carry on with
  std::string timecode;        // a timecode source to chase
  std::string timecodeOffset;  // the timecode of show time 0
};

// Bench times of a chased show's firings are put on a time line of their own, as the frames sent
// are, far from zero.
constexpr uint64_t kChasedBaseUs = 1'000'000'000;

// A chased show's firings, told on the bench's time, put on the show clock as it ran: a jump or a
// freewheel moves the show time, so a firing's show time is read off the clock's samples.
void PutFiringsOnShowClock(std::vector<sim::FireEntry>& log, const RehearsalChase& chase, uint64_t us0, int32_t fromMs,
                           uint64_t& showStartUs) {
  showStartUs = kChasedBaseUs;
  for (sim::FireEntry& e : log) {
    const double since = (static_cast<double>(e.timeUs) - static_cast<double>(us0)) / 1000.0;
    const double us = static_cast<double>(kChasedBaseUs) + (chase.ShowMsAt(since) - fromMs) * 1000.0;
    e.timeUs = us > 0 ? static_cast<uint64_t>(std::llround(us)) : 0;
  }
}

// --from takes a time as the scenario writes it (seconds, m:ss or h:mm:ss, with a fraction) or
// plain milliseconds with "ms" after them. False for anything else: the scenario's own reading
// would take a typing slip for 0 and start the show from its beginning.
bool ParseFrom(const std::string& text, int32_t& ms) {
  static const std::regex kMs("^[0-9]{1,10}ms$");
  static const std::regex kTime("^[0-9]+(:[0-9]+){0,2}(\\.[0-9]+)?$");
  if (std::regex_match(text, kMs)) {
    const long long value = std::stoll(text.substr(0, text.size() - 2));
    if (value > INT32_MAX) return false;
    ms = static_cast<int32_t>(value);
    return true;
  }
  if (!std::regex_match(text, kTime) || text.size() > 32) return false;
  ms = show::ParseTime(text);
  // The reading gives 0 for a time past 32 bits: only a time of zeros may read as 0.
  return ms != 0 || text.find_first_not_of("0:.") == std::string::npos;
}

std::string ProgressText(int32_t clockMs, int done, int total) {
  return std::string(kName) + ": " + show::ShowTimeText(clockMs) + "  cues " + std::to_string(done) + " of " +
         std::to_string(total);
}

// The report as one JSON document; leftOut: the consoles --allow-missing let the show go without.
void PrintJsonReport(const show::TProjectList& list, const CliBus& bus, bool autonomous, int32_t fromMs,
                     const RehearsalReport& report, const std::vector<int>& leftOut, bool beforeShow) {
  Print("{\n");
  Print("  \"scenario\": " + JsonString(list.FileName()) + ",\n");
  Print("  \"bus\": " + JsonString(bus.ConverterText()) + ",\n");
  Print(std::string("  \"launch_mode\": ") + (autonomous ? "\"autonomous\"" : "\"direct\"") + ",\n");
  Print("  \"from_ms\": " + std::to_string(fromMs) + ",\n");
  Print("  \"cues\": [");
  for (size_t i = 0; i < report.rows.size(); ++i)
    Print((i ? ",\n    " : "\n    ") + OneLine(RehearsalRowJson(report.rows[i])));
  Print(report.rows.empty() ? "],\n" : "\n  ],\n");
  Json summary = RehearsalSummaryJson(report);
  if (!leftOut.empty()) summary["consoles_left_out"] = leftOut;
  if (beforeShow) summary["stopped_before_show"] = true;
  if (report.chase) Print("  \"timecode\": " + OneLine(RehearsalChaseJson(report)) + ",\n");
  Print("  \"summary\": " + OneLine(summary) + "\n");
  Print("}\n");
}

// The operator stopped before the show began (while searching, writing or verifying): the
// message, and with --json the report of a show in which nothing was sent.
int StoppedBeforeShow(const std::string& when, bool json, const show::TProjectList& list, const CliBus& bus,
                      bool autonomous, int32_t fromMs, const std::vector<int>& leftOut) {
  if (json) {
    RehearsalRun run;
    run.cues = list.Cues();
    run.fromMs = fromMs;
    run.autonomous = autonomous;
    run.end = ShowEnd::Operator;
    PrintJsonReport(list, bus, autonomous, fromMs, BuildRehearsalReport(run), leftOut, true);
  }
  return ReportError(kName, when, kExitFailure);
}

int WriteAndVerify(CliBus& bus, std::vector<devices::CueRecord>& cues, ProgressLine& progress,
                   const std::string& scenarioSha256, show::MemoryResults& results) {
  devices::TControls& controls = bus.Controls();
  const char* pass = "write";
  controls.OnMemoryProgress = [&](int percent, int, int, int, bool& cancel) {
    cancel = StopSignals::Requested();
    progress.Show(std::string(kName) + ": " + pass + " " + ProgressBar(percent) + " " + std::to_string(percent) + "%");
    bus.Host().ProcessPendingEvents();
  };
  int code = controls.WriteScenario(cues);
  results.writeResult = ScenarioResultText(code, controls.ScenarioFaultLine, controls.ScenarioFaultCause);
  results.writeSha256 = scenarioSha256;
  if (code == 0) {
    pass = "verify";
    code = controls.VerifyScenario(cues);
    results.verifyResult = ScenarioResultText(code, controls.ScenarioFaultLine, controls.ScenarioFaultCause);
    results.verifySha256 = scenarioSha256;
  }
  controls.OnMemoryProgress = nullptr;
  progress.Clear();
  if (code != 0)
    Print(std::string(pass) + ": " + ScenarioResultText(code, controls.ScenarioFaultLine, controls.ScenarioFaultCause) +
          "\n");
  return code;
}

// --plot: the show's timeline drawn from its journal once it is closed.
bool PlotRehearsal(const journal::ShowJournal& journal, const std::string& png) {
  // A journal the disk cut short still holds the show up to where it stops.
  if (journal.Path().empty()) {
    ReportError(kName, "no picture: the rehearsal has no journal to draw it from", kExitFailure);
    return false;
  }
  std::fprintf(stderr, "firnadesk-cli %s: drawing %s\n", kName, support::TerminalPath(png).c_str());
  report::EnsureGuiApplication();
  std::string error;
  if (!report::DrawJournalPicture(journal.Path(), png, error)) {
    ReportError(kName, error, kExitFailure);
    return false;
  }
  std::fprintf(stderr, "picture: %s\n", support::TerminalPath(png).c_str());
  return true;
}

int RunRehearse(const RehearseArgs& args) {
  const ScenarioArgs& parsed = args.scenario;
  if (!parsed.busGiven) return PrintUsage(kName, "name the bus: --simulate[=BENCH] or --port PATH");
  int32_t fromMs = 0;
  if (!args.from.empty() && !ParseFrom(args.from, fromMs))
    return PrintUsage(kName,
                      "--from takes a time as the scenario writes it (90, 1:30, 0:01:30.5) or milliseconds "
                      "(1500ms), not \"" +
                          args.from + "\"");
  const bool autonomous = parsed.Has("--autonomous");
  const bool json = parsed.Has("--json");
  timecode::Timecode offset;
  if (!args.timecodeOffset.empty()) {
    const std::optional<timecode::Timecode> parsedOffset = timecode::ParseTimecode(args.timecodeOffset);
    if (!parsedOffset)
      return PrintUsage(kName,
                        "--timecode-offset takes a timecode HH:MM:SS:FF (01:00:00:00; hours 0..23, frames "
                        "0..29), not \"" +
                            support::TerminalText(args.timecodeOffset, 64) + "\"");
    offset = *parsedOffset;
  }

  show::TProjectList list;
  const show::LoadResult loaded = list.LoadFromFile(parsed.path);
  if (!loaded.Ok())
    return ReportError(kName, support::TerminalPath(parsed.path) + ": " + LoadFailureText(loaded),
                       LoadFailureExit(loaded));
  if (!loaded.EncodingHint.empty())
    ReportError(kName, support::TerminalPath(parsed.path) + ": warning: " + loaded.EncodingHint, 0);
  int first = 0;
  while (first < list.Count() && list.Cues()[static_cast<size_t>(first)].TimeMs < fromMs) ++first;
  // A show cut short carries on just after the last cue its journal holds as sent; what the journal
  // holds as sent is never fired again.
  std::optional<journal::ResumePlan> resume;
  if (!args.resume.empty()) {
    const journal::ResumeCheck check =
        journal::PlanResume(args.resume, support::FileSha256Hex(parsed.path), show::ResumeCuesOf(list.Cues()));
    if (!check.Offered()) return ReportError(kName, check.reason, kExitUsage);
    resume = check.plan;
    fromMs = resume->positionMs;
    first = resume->nextCue;
    const journal::CueEvent& last = resume->lastSent;
    std::fprintf(stderr, "firnadesk-cli %s: resuming %s after line %d (console %d %s %d at %s): %d cue(s) left\n",
                 kName, support::TerminalPath(resume->journalPath).c_str(), last.line, last.console,
                 last.motion >= 0 ? "motion" : "channel", last.motion >= 0 ? last.motion : last.channel,
                 show::ShowTimeText(last.plannedMs).c_str(), resume->remaining);
  }
  const int total = list.Count() - first;
  if (total == 0)
    return ReportError(kName, list.Count() == 0 ? "the scenario has no cues" : "no cue at or after --from", kExitUsage);

  CliJournal journal(args.journalDir, parsed.path, kName);

  BusOptions options = parsed.bus;
  options.realTime = true;
  std::string error;
  std::unique_ptr<CliBus> bus = CliBus::Open(options, error);
  if (!bus) return ReportError(kName, error, OpenFailureExit(options));
  // The timecode source is opened before anything goes on the bus: one that cannot be is refused
  // with its reason.
  std::unique_ptr<RehearsalChase> chase;
  if (!args.timecode.empty()) {
    chase = RehearsalChase::Open(args.timecode, offset, bus->Host().GetClock(), error);
    if (!chase) return ReportError(kName, "--timecode: " + error, kExitUsage);
  }
  show::TCommonPlayer player(bus->Host(), bus->Port(), bus->Controls());
  player.Cues = &list;
  player.LaunchMode = autonomous ? show::lmAutonomous : show::lmDirect;
  // As in the window: other operator programs asking for our state are answered from now on, and
  // a stop broadcast is obeyed.
  bool stoppedByBus = false;
  bool stoppedByLink = false;
  bus->OnOtherFrame = [&](const bus::Frame6& frame, int) { player.HandleBusMessage(frame); };
  player.OnEmergencyStop = [&] { stoppedByBus = true; };
  // As in the window: a converter loss stops the show; its stop frames go out when it is back.
  player.OnConnectionStop = [&] { stoppedByLink = true; };
  bus->Port().OnConnectionLost = [&] {
    std::fprintf(stderr, "firnadesk-cli %s: the converter was lost\n", kName);
    journal.Journal().ConverterChanged(true);
    player.ConnectionLost();
  };
  bus->Port().OnConnectionRestored = [&] {
    std::fprintf(stderr, "firnadesk-cli %s: the converter is back\n", kName);
    journal.Journal().ConverterChanged(false);
  };
  // The engine outlives the player: whatever way this function ends, its handlers go first.
  struct HandlersOff {
    CliBus& bus;
    ~HandlersOff() {
      bus.Port().OnConnectionLost = nullptr;
      bus.Port().OnConnectionRestored = nullptr;
      bus.Port().OnFrameTaken = nullptr;
      bus.OnOtherFrame = nullptr;
    }
  } handlersOff{*bus};
  player.OnStateChange = [&] {
    show::OperatingMode = player.IsPlaying() ? show::omLaunch : show::omReady;
    journal.Journal().ModeChanged(show::OperatingMode);
  };
  show::OperatingMode = show::omReady;
  // The player tells the operator itself why a soundtrack does not load.
  if (!args.soundtrack.empty() && !player.LoadSoundtrack(args.soundtrack)) return kExitFailure;

  const std::vector<int> listed = ScenarioConsoles(list);
  const SearchOutcome searched = SearchBus(*bus, kName, parsed.Has("--full-search") ? nullptr : &listed);
  if (searched == SearchOutcome::Failed) return kExitFailure;
  if (searched == SearchOutcome::Stopped)
    return StoppedBeforeShow(std::string(kStoppedInSearch) + ", before the show", json, list, *bus, autonomous, fromMs,
                             {});
  devices::TControls& controls = bus->Controls();
  std::fprintf(stderr, "firnadesk-cli %s: %s, %d cue(s) from %s, %d console(s) found on %s\n", kName,
               support::TerminalText(list.FileName()).c_str(), total, show::ShowTimeText(fromMs).c_str(),
               controls.ConsoleCount(), bus->ConverterText().c_str());

  // Consoles playing from their memory need the scenario written into every one of them: one not
  // found leaves its cues unwritten, and only the operator's --allow-missing goes on without it.
  const std::vector<int> leftOut = autonomous ? MissingConsoles(list, controls) : std::vector<int>();
  if (!leftOut.empty() && !parsed.Has("--allow-missing"))
    return ReportError(kName,
                       "the scenario names " + ConsolesText(leftOut) + ", not found on " + bus->ConverterText() +
                           ": nothing was written, the show did not start (--allow-missing goes on with the "
                           "consoles found)",
                       kExitFailure);
  // The window asks before a show with cues for consoles it did not find; here it is told and the
  // report will name those cues as not fired.
  if (const show::PreflightResult unconnected = show::CheckUnconnected(list.Cues(), controls); !unconnected.Passed)
    std::fprintf(stderr, "firnadesk-cli %s: %s %s\n", kName, unconnected.Heading.c_str(),
                 unconnected.MemoText().c_str());

  StopSignals stop;
  ProgressLine progress;
  // The player's log lines ("Запуск, пульт: ...") go to standard error too; the live line makes
  // way for them.
  support::SetDebugOutput([&progress](const std::string& text) {
    progress.Clear();
    std::fprintf(stderr, "%s\n", text.c_str());
  });
  struct SinkBack {
    ~SinkBack() {
      support::SetDebugOutput([](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); });
    }
  } sinkBack;
  show::MemoryResults memory;
  if (autonomous && WriteAndVerify(*bus, list.Cues(), progress, support::FileSha256Hex(parsed.path), memory) != 0)
    return kExitFailure;
  if (StopSignals::Requested())
    return StoppedBeforeShow("stopped by the operator before the show", json, list, *bus, autonomous, fromMs, leftOut);

  RehearsalRun run;
  // A resumed show is judged by the cues it has left; those sent before the cut are not its own.
  run.cues.assign(list.Cues().begin() + first, list.Cues().end());
  run.fromMs = fromMs;
  run.autonomous = autonomous;
  for (int i = 0; i < controls.Count(); ++i)
    if (const devices::TCommonDevice* device = controls.Items(i); device != nullptr && device->RepeatMode != -1)
      run.thriceHeardConsoles.push_back(device->ID);
  bool showRunning = false;
  // A frame counts as sent only when the converter took it: one written to a lost converter fired
  // nothing.
  bus->Port().OnFrameTaken = [&](const bus::Frame6& frame) {
    if (!showRunning) return;
    const uint32_t now = bus->Host().GetClock().TickCount();
    if (chase) {
      chase->Sample(now);
      run.sent.push_back({frame, chase->ShowMsNow(now)});
      return;
    }
    run.sent.push_back(
        {frame, player.StartPosition + static_cast<int32_t>(platform::TicksSince(player.StartTick, now))});
  };
  player.OnProgress = [&](int32_t clockMs) {
    if (chase) chase->Sample(bus->Host().GetClock().TickCount());
    progress.Show(ProgressText(clockMs, player.NextCue - first, total));
  };

  sim::Bench* bench = bus->SimulatedBench();
  const uint32_t tick0 = bus->Host().GetClock().TickCount();
  const uint64_t us0 = bench ? bench->Segment().NowUs() : 0;
  // A chased show starts when the timecode reaches its start, in the event loop: from then on
  // the frames taken are the show's.
  if (chase) {
    chase->Attach(player, tick0);
    player.OnStateChange = [&, modeChanged = player.OnStateChange] {
      modeChanged();
      if (!player.IsPlaying() || showRunning) return;
      showRunning = true;
      chase->Sample(player.StartTick);
    };
  }
  if (resume) {
    player.ResumeAt(fromMs, first);
  } else {
    player.Clock = fromMs;
    player.NextCue = first;
  }
  // The consoles start on a whole tenth of a second: as the window does before F5, say which cues
  // that leaves out (the report then counts them as not fired).
  if (autonomous) {
    const show::PreflightResult leftOut = show::CheckCuesBeforeFirstRun(list.Cues(), player.CuesBeforeFirstRun(fromMs));
    if (!leftOut.Passed)
      std::fprintf(stderr, "firnadesk-cli %s: the consoles start at %s; before it they cannot play from memory:\n%s\n",
                   kName, show::ShowTimeText(player.FirstRunTime(fromMs)).c_str(), leftOut.MemoText().c_str());
  }
  // Only a stop that comes while the show runs ends it.
  stoppedByBus = false;
  journal::JournalHeader header =
      show::ShowJournalHeader(parsed.path, args.soundtrack, player.LaunchMode, fromMs, controls, memory);
  // Named in full, as the header names the scenario: a later resume follows it back from anywhere.
  if (resume) header.resumedFrom = std::filesystem::absolute(resume->journalPath).lexically_normal().string();
  if (chase) {
    header.timecodeSource = chase->SourceText();
    header.timecodeOffset = chase->OffsetText();
  }
  if (journal.Open(header)) player.Journal = &journal.Journal();
  if (chase) {
    // The tape rolls now: a file source plays from its beginning, and the show starts when its
    // timecode reaches the start position.
    if (!chase->StartAndArm(fromMs, error)) {
      player.Journal = nullptr;
      journal.Journal().Close(player.Clock);
      return ReportError(kName, "--timecode: " + error, kExitFailure);
    }
    std::fprintf(stderr, "firnadesk-cli %s: armed at %s, chasing %s (offset %s)\n", kName,
                 show::ShowTimeText(fromMs).c_str(), support::TerminalPath(chase->SourceText()).c_str(),
                 chase->OffsetText().c_str());
  } else {
    player.Start(fromMs);
    // The frames Start itself sends (levels, the run and start broadcasts) come before the clock.
    showRunning = true;
    run.showStartUs = us0 + static_cast<uint64_t>(platform::TicksSince(tick0, player.StartTick)) * 1000;
  }

  bool byOperator = false;
  bool noTimecode = false;
  auto going = [&] { return player.IsPlaying() || player.ChaseArmed(); };
  // A file source that ended before the show could start leaves it waiting for ever: given up.
  auto givenUp = [&] { return chase && chase->GivenUp(bus->Host().GetClock().TickCount()); };
  while (going()) {
    bus->RunUntil([&] { return !going() || StopSignals::Requested() || givenUp(); }, 100);
    if (going() && !player.IsPlaying())
      progress.Show(std::string(kName) + ": waiting for the timecode (" +
                    timecode::ChaseStateText(player.ChaseState()) + ")");
    if (StopSignals::Requested() && going()) {
      byOperator = true;
      player.Stop(true);
    } else if (givenUp() && going()) {
      noTimecode = true;
      progress.Clear();
      std::fprintf(stderr, "firnadesk-cli %s: %s\n", kName, chase->GiveUpText().c_str());
      player.Stop(true);
    }
  }
  showRunning = false;
  // Stop frames the converter did not take wait for it to come back, a while; the report says
  // whether they went out.
  if (bus->Port().UndeliveredStops() > 0) {
    std::fprintf(stderr, "firnadesk-cli %s: stop not delivered, waiting up to %u s for the converter\n", kName,
                 kStopDeliveryWaitMs / 1000);
    bus->RunUntil([&] { return bus->Port().UndeliveredStops() == 0 || StopSignals::Requested(); }, kStopDeliveryWaitMs);
  }
  // Frames heard while stopping (a peer's answer) still reach the player.
  bus->Host().ProcessPendingEvents();
  // The journal closes once the stop frames are out or given up on, so the converter's return
  // while they waited is in it.
  player.Journal = nullptr;
  if (chase) {
    run.chase = chase->Run();
    journal.Journal().Append(journal::TimecodeSummaryLine(run.chase->figures));
  }
  journal.Journal().Close(player.Clock);
  bus->Port().OnFrameTaken = nullptr;
  bus->OnOtherFrame = nullptr;
  progress.Clear();
  show::OperatingMode = show::omReady;

  run.end = stoppedByLink                     ? ShowEnd::Converter
            : byOperator                      ? ShowEnd::Operator
            : stoppedByBus                    ? ShowEnd::Bus
            : noTimecode                      ? ShowEnd::NoTimecode
            : chase && chase->StoppedByJump() ? ShowEnd::TimecodeJump
                                              : ShowEnd::Finished;
  run.stopUndelivered = bus->Port().UndeliveredStops() > 0;
  if (bench) {
    run.fireLogKnown = true;
    run.fireLog = bench->FireLog().Entries();
    for (const sim::ConsoleConfig& console : bench->Config().consoles)
      for (const auto& [channel, state] : console.channelStates)
        if (state == sim::ChannelState::Open) run.openChannels.emplace_back(console.address, channel);
    if (chase) PutFiringsOnShowClock(run.fireLog, *chase, us0, fromMs, run.showStartUs);
  }
  if (chase) {
    for (const auto& [index, reason] : chase->Skipped())
      if (index >= first) run.skipped.push_back({static_cast<size_t>(index - first), reason});
    chase->Detach();
  }
  const RehearsalReport report = BuildRehearsalReport(run);
  if (json) {
    PrintJsonReport(list, *bus, autonomous, fromMs, report, leftOut, false);
  } else {
    Print("Rehearsal of " + support::TerminalText(list.FileName()) + " on " + bus->ConverterText() + ": " +
          (autonomous ? "autonomous" : "direct") + " launch " + (resume ? "resumed at " : "from ") +
          show::ShowTimeText(fromMs) +
          (resume ? " after line " + std::to_string(resume->lastSent.line) : std::string()) + ", " +
          std::to_string(total) + " cue(s)\n\n");
    Print(RehearsalText(report));
    if (!leftOut.empty()) Print("Left out, not found on the bus: " + ConsolesText(leftOut) + "\n");
  }
  // The picture is drawn from the journal, as every report is; one that fails fails the command.
  if (!args.plot.empty() && !PlotRehearsal(journal.Journal(), args.plot) && report.ExitStatus() == kExitOk)
    return kExitFailure;
  return report.ExitStatus();
}

Runner SetUpRehearse(CommandLine& line) {
  auto args = std::make_shared<RehearseArgs>();
  AddScenarioArgs(line, {"--autonomous", "--json", "--full-search", "--allow-missing"}, args->scenario);
  // In direct launch nothing is written: the report names the cues of a missing console as not
  // fired, and there is nothing to allow.
  line.Check([args]() -> std::string {
    if (args->scenario.Has("--allow-missing") && !args->scenario.Has("--autonomous"))
      return "--allow-missing goes with --autonomous (a direct rehearsal reports a missing console's cues as "
             "not fired)";
    // The journal says where the show carries on, and only a direct show is carried on.
    if (!args->resume.empty() && !args->from.empty()) return "--resume carries on where the journal says: no --from";
    // A chased show starts where the timecode says; a show cut short carries on on its own clock.
    if (!args->resume.empty() && !args->timecode.empty())
      return "--resume carries on on the show's own clock: no --timecode";
    if (!args->timecodeOffset.empty() && args->timecode.empty()) return "--timecode-offset goes with --timecode";
    if (!args->resume.empty() && args->scenario.Has("--autonomous"))
      return "--resume carries on in direct launch: the consoles of an autonomous show cut short played on by "
             "themselves";
    return {};
  });
  CLI::App& app = line.App();
  line.Needs(app.add_option("--soundtrack", args->soundtrack, "a soundtrack to play in step (WAV, MP3, WMA)")
                 ->type_name("FILE"),
             "a sound file");
  line.Needs(app.add_option("--from", args->from,
                            "where the show starts: a time as the scenario writes it (90, 1:30, 0:01:30.5) or "
                            "milliseconds (1500ms); cues before it are not played")
                 ->type_name("TIME"),
             "a time");
  line.Needs(app.add_option("--resume", args->resume,
                            "carry on with a show cut short: the cues after the last one this journal holds as "
                            "sent (none of those is fired again)")
                 ->type_name("JOURNAL"),
             "a journal");
  line.Needs(app.add_option("--timecode", args->timecode,
                            "chase SMPTE timecode: the show is armed at its start and plays when the timecode "
                            "reaches it (capture, capture:NAME, or a sound file played from its beginning then)")
                 ->type_name("SOURCE"),
             "a timecode source");
  line.Needs(
      app.add_option("--timecode-offset", args->timecodeOffset, "the timecode of show time 0 (default 00:00:00:00)")
          ->type_name("HH:MM:SS:FF"),
      "a timecode");
  line.Needs(app.add_option("--journal-dir", args->journalDir,
                            "where the show's journal goes (default: journal/ in the records folder)")
                 ->type_name("DIR"),
             "a folder");
  line.Needs(app.add_option("--plot", args->plot, "draw the show's timeline from its journal into this PNG file")
                 ->type_name("FILE.png"),
             "a file name");
  return [args] { return RunRehearse(*args); };
}

const CommandRegistration kRehearse{kRehearseName, kRehearseUsage, kRehearseSummary, &SetUpRehearse};

}  // namespace
}  // namespace fd::cli
