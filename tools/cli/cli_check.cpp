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
#include "cli_scenario_args.h"
#include "cli_command.h"
#include "cli_json.h"
#include "devices/common_control.h"
#include "devices/controls.h"
#include "devices/device_codes.h"
#include "devices/scenario_memory_fit.h"
#include "show/preflight_checks.h"
#include "show/project_list.h"
#include "show/scenario_report.h"

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
  std::string text = "line " + std::to_string(cue.Line) + ": " + cue.TimeText + " (" + show::ShowTimeText(cue.TimeMs) +
                     ") console " + std::to_string(cue.Console);
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
  show::PreflightResult unconnected;
  show::PreflightResult times;
  std::vector<devices::UnfitCue> unfit;
};

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
  std::string out = "Scenario: " + list.FileName() + "\n";
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

std::string JsonInts(const std::vector<int>& values) {
  std::string out = "[";
  for (size_t i = 0; i < values.size(); ++i) out += (i ? ", " : "") + std::to_string(values[i]);
  return out + "]";
}

std::string JsonPreflight(const show::PreflightResult& r) {
  return std::string("{\"passed\": ") + (r.Passed ? "true" : "false") + ", \"heading\": " + JsonString(r.Heading) +
         ", \"numbers\": " + JsonInts(r.Numbers) + ", \"memo\": " + JsonString(r.MemoText()) + "}";
}

std::string JsonCue(int index, const CueRecord& cue) {
  const bool channel = cue.CueKind == devices::ChannelCue;
  std::string o = "{\"index\": " + std::to_string(index);
  o += ", \"line\": " + std::to_string(cue.Line);
  o += ", \"time_text\": " + JsonString(cue.TimeText);
  o += ", \"time_ms\": " + std::to_string(cue.TimeMs);
  o += ", \"console\": " + std::to_string(cue.Console);
  o += ", \"channel\": " + (channel ? std::to_string(FileChannel(cue)) : std::string("null"));
  o += ", \"kind\": " + std::to_string(cue.CueKind);
  o += ", \"kind_name\": " + JsonString(KindName(cue.CueKind));
  o += ", \"param1\": " + (channel ? std::string("null") : std::to_string(cue.Param1));
  o += ", \"param2\": " + (channel ? std::string("null") : std::to_string(cue.Param2));
  o += ", \"comment\": " + JsonString(cue.Comment);
  return o + "}";
}

std::string JsonReport(const std::string& path, const show::TProjectList& list, const show::ScenarioSummary& s,
                       const BusFindings* bus) {
  std::string out = "{\n";
  out += "  \"path\": " + JsonString(path) + ",\n";
  out += "  \"file\": " + JsonString(list.FileName()) + ",\n";
  out += "  \"loaded\": true,\n";
  out += "  \"cue_count\": " + std::to_string(s.Count) + ",\n";
  out += "  \"first_ms\": " + (s.Count ? std::to_string(s.FirstMs) : std::string("null")) + ",\n";
  out += "  \"last_ms\": " + (s.Count ? std::to_string(s.LastMs) : std::string("null")) + ",\n";
  out += "  \"consoles\": [";
  bool first = true;
  for (const auto& [console, use] : s.Consoles) {
    out += first ? "\n    " : ",\n    ";
    first = false;
    out += "{\"console\": " + std::to_string(console) + ", \"channel_cues\": " + std::to_string(use.ChannelCues) +
           ", \"motion_cues\": " + std::to_string(use.MotionCues) +
           ", \"channels\": " + JsonInts(std::vector<int>(use.Channels.begin(), use.Channels.end())) + "}";
  }
  out += first ? "],\n" : "\n  ],\n";
  out += "  \"warnings\": [";
  for (size_t i = 0; i < s.Warnings.size(); ++i) {
    const auto& w = s.Warnings[i];
    out += i ? ",\n    " : "\n    ";
    out += "{\"code\": " + JsonString(w.Code) + ", \"text\": " + JsonString(w.Text) +
           ", \"cues\": " + JsonInts(w.Cues) + "}";
  }
  out += s.Warnings.empty() ? "],\n" : "\n  ],\n";
  if (bus) {
    out += "  \"bus\": {\"converter\": " + JsonString(bus->converter) +
           ", \"simulated\": " + (bus->simulated ? "true" : "false") + ", \"consoles\": [";
    bool firstConsole = true;
    for (const auto& [id, fw] : bus->firmware) {
      out += firstConsole ? "" : ", ";
      firstConsole = false;
      out += "{\"id\": " + std::to_string(id) + ", \"version\": " + JsonString(VersionText(fw.Version)) +
             ", \"motor\": " + (fw.Motor ? "true" : "false") + "}";
    }
    out += "]},\n";
    out += "  \"preflight\": {\"unconnected\": " + JsonPreflight(bus->unconnected) +
           ", \"scenario_times\": " + JsonPreflight(bus->times) + "},\n";
  }
  out += "  \"cues\": [";
  const auto& cues = list.Cues();
  for (size_t i = 0; i < cues.size(); ++i) {
    out += i ? ",\n    " : "\n    ";
    out += JsonCue(static_cast<int>(i), cues[i]);
  }
  out += cues.empty() ? "]\n" : "\n  ]\n";
  return out + "}\n";
}

std::string JsonLoadError(const std::string& path, const show::LoadResult& r) {
  std::string out = "{\n";
  out += "  \"path\": " + JsonString(path) + ",\n";
  out += "  \"loaded\": false,\n";
  out += "  \"error\": {\"line\": " +
         (r.Status == show::LoadStatus::LineError ? std::to_string(r.Line) : std::string("null")) +
         ", \"message\": " + JsonString(r.Message) + "}\n";
  return out + "}\n";
}

// --- the command -------------------------------------------------------------------------------

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

int RunCheck(const std::vector<std::string>& args) {
  ScenarioArgs parsed;
  if (std::string bad = ParseScenarioArgs(args, {"--json"}, parsed); !bad.empty()) return PrintUsage("check", bad);
  const BusOptions& options = parsed.bus;
  const bool busGiven = parsed.busGiven;
  const bool json = parsed.Has("--json");
  const std::string& path = parsed.path;

  show::TProjectList list;
  const show::LoadResult loaded = list.LoadFromFile(path);
  if (!loaded.Ok()) {
    std::fprintf(stderr, "firnadesk-cli check: %s: %s\n", path.c_str(), loaded.Message.c_str());
    if (json) Print(JsonLoadError(path, loaded));
    return kExitFailure;
  }

  std::unique_ptr<BusFindings> findings;
  if (busGiven) {
    std::string error;
    std::unique_ptr<CliBus> bus = CliBus::Open(options, error);
    if (!bus) {
      std::fprintf(stderr, "firnadesk-cli check: %s\n", error.c_str());
      return kExitUsage;
    }
    ProgressLine progress;
    const bool searched = bus->Search(1, [&](int, int address, int percent) {
      progress.Show("check: searching, address " + std::to_string(address) + "  " + std::to_string(percent) + "%");
    });
    progress.Clear();
    if (!searched) {
      std::fprintf(stderr, "firnadesk-cli check: the search did not finish in time\n");
      return kExitFailure;
    }
    devices::TControls& controls = bus->Controls();
    controls.SortByID();
    findings = std::make_unique<BusFindings>();
    findings->converter = bus->ConverterText();
    findings->simulated = bus->Simulated();
    for (int i = 0; i < controls.Count(); ++i) {
      const devices::TCommonDevice* d = controls.Items(i);
      if (d && d->ID >= 1 && d->ID <= 199)
        findings->firmware[d->ID] = show::ConsoleFirmware{d->Version, d->Kind == devices::kKindMotor};
    }
    findings->unconnected = show::CheckUnconnected(list.Cues(), controls);
    findings->times = show::CheckScenarioTimes(list.Cues(), controls);
    findings->unfit = devices::FindUnfitCues(controls, list.Cues());
  }

  show::ScenarioSummary summary = show::SummarizeScenario(list.Cues(), findings ? &findings->firmware : nullptr);
  if (findings) AddUnfitWarning(findings->unfit, summary);
  Print(json ? JsonReport(path, list, summary, findings.get()) : TextReport(list, summary, findings.get()));
  return kExitOk;
}

const CommandRegistration kCheck{"check", "SCENARIO [--json] " + std::string(kBusOptionsUsage),
                                 "load a scenario and list what to know before writing it", &RunCheck};

}  // namespace
}  // namespace fd::cli
