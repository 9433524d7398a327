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

constexpr int kExamplesPerWarning = 5;

// The channel number as the file wrote it (1-based); the loader's wrap undone for the one number
// that has no predecessor.
int32_t FileChannel(const CueRecord& cue) { return static_cast<int32_t>(static_cast<uint32_t>(cue.Channel) + 1u); }

const char* KindName(int32_t kind) {
  switch (kind) {
    case devices::ChannelCue:
      return "channel";
    case devices::MotionC:
      return "C";
    case devices::MotionL:
      return "L";
    case devices::MotionR:
      return "R";
    case devices::MotionLT:
      return "LT";
    case devices::MotionRT:
      return "RT";
    default:
      return "?";
  }
}

// "1-3, 7, 12"
std::string ChannelRanges(const std::set<int>& channels) {
  std::string text;
  for (auto it = channels.begin(); it != channels.end();) {
    int first = *it, last = *it;
    auto next = std::next(it);
    while (next != channels.end() && *next == last + 1) last = *next++;
    // Appended piece by piece: GCC 12 at -O3 takes "-" + std::to_string(...) for an overlapping
    // copy (a false -Wrestrict).
    if (!text.empty()) text += ", ";
    text += std::to_string(first);
    if (last > first) {
      text += '-';
      text += std::to_string(last);
    }
    it = next;
  }
  return text;
}

std::string CueText(const CueRecord& cue) {
  std::string text = "line " + std::to_string(cue.Line) + ": " + support::TerminalText(cue.TimeText) + " (" +
                     show::ShowTimeText(cue.TimeMs) + ") console " + std::to_string(cue.Console);
  if (cue.CueKind == devices::ChannelCue)
    text += " channel " + std::to_string(FileChannel(cue));
  else
    text +=
        std::string(" #") + KindName(cue.CueKind) + " " + std::to_string(cue.Param1) + " " + std::to_string(cue.Param2);
  return text;
}

struct BusFindings {
  std::string converter;
  bool simulated = false;
  std::map<int, show::ConsoleFirmware> firmware;
  std::map<int, int> channelCounts;  // from the identification answer; also the records a console holds
  show::PreflightResult unconnected;
  show::PreflightResult times;
  std::vector<devices::UnfitCue> unfit;
};

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

// The loader never refuses a time: one it cannot read plays at 0 or at the part it could read.
void AddTimeWarnings(const std::vector<CueRecord>& cues, show::ScenarioSummary& summary) {
  show::ScenarioWarning unreadable{
      "time-unreadable", "time that does not read as s, m:s or h:m:s[.fff]: the cue plays at the time shown", {}};
  for (size_t i = 0; i < cues.size(); ++i)
    if (!show::TimeReadsCleanly(cues[i].TimeText)) unreadable.Cues.push_back(static_cast<int>(i));
  if (!unreadable.Cues.empty()) summary.Warnings.push_back(unreadable);
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

std::string VersionText(int version) {
  char text[16];
  std::snprintf(text, sizeof text, "%03X", static_cast<unsigned>(version) & 0xFFFu);
  return text;
}

// --- text report ---------------------------------------------------------------------------------

std::string PreflightText(const show::PreflightResult& r) {
  return r.Passed ? std::string("passed") : r.Heading + " " + r.MemoText();
}

std::string TextReport(const show::TProjectList& list, const show::ScenarioSummary& s, const BusFindings* bus) {
  std::string out = "Scenario: " + support::TerminalText(list.FileName()) + "\n";
  int channelCues = 0, motionCues = 0;
  for (const auto& [console, use] : s.Consoles) {
    channelCues += use.ChannelCues;
    motionCues += use.MotionCues;
  }
  out += "Cues: " + std::to_string(s.Count) + " (channel cues " + std::to_string(channelCues) + ", motion cues " +
         std::to_string(motionCues) + ")\n";
  if (s.Count > 0)
    out += "Time span: " + show::ShowTimeText(s.FirstMs) + " .. " + show::ShowTimeText(s.LastMs) + "\n";
  else
    out += "Time span: none\n";
  out += "Consoles: " + std::to_string(s.Consoles.size()) + "\n";
  for (const auto& [console, use] : s.Consoles) {
    out += "  console " + std::to_string(console) + ":";
    if (use.ChannelCues)
      out += " " + std::to_string(use.ChannelCues) + " channel cue(s) on channel(s) " + ChannelRanges(use.Channels);
    if (use.ChannelCues && use.MotionCues) out += ";";
    if (use.MotionCues) out += " " + std::to_string(use.MotionCues) + " motion cue(s)";
    out += "\n";
  }
  if (bus) {
    out += "Bus: " + bus->converter + "; consoles found: " + std::to_string(bus->firmware.size()) + "\n";
    for (const auto& [id, fw] : bus->firmware)
      out += "  console " + std::to_string(id) + ": firmware " + VersionText(fw.Version) + (fw.Motor ? ", motor" : "") +
             "\n";
    out += "Pre-flight checks:\n";
    out += "  unconnected consoles: " + PreflightText(bus->unconnected) + "\n";
    out += "  scenario times: " + PreflightText(bus->times) + "\n";
  }
  if (s.Warnings.empty()) return out + "Warnings: none\n";
  out += "Warnings: " + std::to_string(s.Warnings.size()) + "\n";
  for (const auto& w : s.Warnings) {
    out += "  [" + w.Code + "] " + std::to_string(w.Cues.size()) + " cue(s): " + w.Text + "\n";
    for (size_t k = 0; k < w.Cues.size() && k < kExamplesPerWarning; ++k)
      out += "    " + CueText(list.Cues()[static_cast<size_t>(w.Cues[k])]) + "\n";
    if (w.Cues.size() > kExamplesPerWarning)
      out += "    ... and " + std::to_string(w.Cues.size() - kExamplesPerWarning) + " more\n";
  }
  return out;
}

// --- JSON report ---------------------------------------------------------------------------------

Json JsonPreflight(const show::PreflightResult& r) {
  Json o;
  o["passed"] = r.Passed;
  o["heading"] = r.Heading;
  o["numbers"] = r.Numbers;
  o["memo"] = r.MemoText();
  return o;
}

Json JsonCue(int index, const CueRecord& cue) {
  const bool channel = cue.CueKind == devices::ChannelCue;
  Json o;
  o["index"] = index;
  o["line"] = cue.Line;
  o["time_text"] = cue.TimeText;
  o["time_ms"] = cue.TimeMs;
  o["console"] = cue.Console;
  o["channel"] = channel ? Json(FileChannel(cue)) : Json(nullptr);
  o["kind"] = cue.CueKind;
  o["kind_name"] = KindName(cue.CueKind);
  o["param1"] = channel ? Json(nullptr) : Json(cue.Param1);
  o["param2"] = channel ? Json(nullptr) : Json(cue.Param2);
  o["comment"] = cue.Comment;
  return o;
}

void PrintMember(const std::string& key, const Json& value, bool last = false) {
  Print("  " + JsonString(key) + ": " + OneLine(value) + (last ? "\n" : ",\n"));
}

// Member by member and cue by cue: a scenario of a million cues is never held as one text.
void PrintJsonReport(const std::string& path, const show::LoadResult& loaded, const show::TProjectList& list,
                     const show::ScenarioSummary& s, const BusFindings* bus) {
  Print("{\n");
  PrintMember("path", path);
  PrintMember("file", list.FileName());
  PrintMember("loaded", true);
  if (!loaded.EncodingHint.empty()) PrintMember("encoding_hint", loaded.EncodingHint);
  PrintMember("cue_count", s.Count);
  PrintMember("first_ms", s.Count ? Json(s.FirstMs) : Json(nullptr));
  PrintMember("last_ms", s.Count ? Json(s.LastMs) : Json(nullptr));
  Print("  \"consoles\": [");
  bool first = true;
  for (const auto& [console, use] : s.Consoles) {
    Json o;
    o["console"] = console;
    o["channel_cues"] = use.ChannelCues;
    o["motion_cues"] = use.MotionCues;
    o["channels"] = std::vector<int>(use.Channels.begin(), use.Channels.end());
    Print((first ? "\n    " : ",\n    ") + OneLine(o));
    first = false;
  }
  Print(first ? "],\n" : "\n  ],\n");
  Print("  \"warnings\": [");
  for (size_t i = 0; i < s.Warnings.size(); ++i) {
    const auto& w = s.Warnings[i];
    Json o;
    o["code"] = w.Code;
    o["text"] = w.Text;
    o["cues"] = w.Cues;
    Print((i ? ",\n    " : "\n    ") + OneLine(o));
  }
  Print(s.Warnings.empty() ? "],\n" : "\n  ],\n");
  if (bus) {
    Json b;
    b["converter"] = bus->converter;
    b["simulated"] = bus->simulated;
    b["consoles"] = Json::array();
    for (const auto& [id, fw] : bus->firmware) {
      Json c;
      c["id"] = id;
      c["version"] = VersionText(fw.Version);
      c["motor"] = fw.Motor;
      b["consoles"].push_back(c);
    }
    PrintMember("bus", b);
    Json preflight;
    preflight["unconnected"] = JsonPreflight(bus->unconnected);
    preflight["scenario_times"] = JsonPreflight(bus->times);
    PrintMember("preflight", preflight);
  }
  Print("  \"cues\": [");
  const auto& cues = list.Cues();
  for (size_t i = 0; i < cues.size() && !OutputFailed(); ++i)
    Print((i ? ",\n    " : "\n    ") + OneLine(JsonCue(static_cast<int>(i), cues[i])));
  Print(cues.empty() ? "]\n" : "\n  ]\n");
  Print("}\n");
}

void PrintJsonLoadError(const std::string& path, const show::LoadResult& r) {
  Json error;
  error["line"] = r.Status == show::LoadStatus::OpenFailed ? Json(nullptr) : Json(r.Line);
  error["message"] = r.Message;
  if (!r.Reason.empty()) error["reason"] = r.Reason;
  if (!r.EncodingHint.empty()) error["encoding_hint"] = r.EncodingHint;
  Print("{\n");
  PrintMember("path", path);
  PrintMember("loaded", false);
  PrintMember("error", error, true);
  Print("}\n");
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
    ProgressLine progress;
    const bool searched = bus->Search(1, [&](int, int address, int percent) {
      progress.Show("check: searching, address " + std::to_string(address) + "  " + std::to_string(percent) + "%");
    });
    progress.Clear();
    if (!searched) return ReportError("check", "the search did not finish in time", kExitFailure);
    devices::TControls& controls = bus->Controls();
    controls.SortByID();
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
