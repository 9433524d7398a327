// The scenario report that check prints, and import after it: summary, warnings and cues, as text
// or as one JSON document, with the bus findings when a search ran.
#include "cli_scenario_report.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cli_output.h"
#include "show/scenario_line_fault.h"
#include "support/terminal_text.h"

namespace fd::cli {

using devices::CueRecord;

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

namespace {

constexpr int kExamplesPerWarning = 5;

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

}  // namespace

// The loader never refuses a time: one it cannot read plays at 0 or at the part it could read.
void AddTimeWarnings(const std::vector<CueRecord>& cues, show::ScenarioSummary& summary) {
  show::ScenarioWarning unreadable{
      "time-unreadable", "time that does not read as s, m:s or h:m:s[.fff]: the cue plays at the time shown", {}};
  for (size_t i = 0; i < cues.size(); ++i)
    if (!show::TimeReadsCleanly(cues[i].TimeText)) unreadable.Cues.push_back(static_cast<int>(i));
  if (!unreadable.Cues.empty()) summary.Warnings.push_back(unreadable);
}

namespace {

std::string VersionText(int version) {
  char text[16];
  std::snprintf(text, sizeof text, "%03X", static_cast<unsigned>(version) & 0xFFFu);
  return text;
}

// --- text report ---------------------------------------------------------------------------------

std::string PreflightText(const show::PreflightResult& r) {
  return r.Passed ? std::string("passed") : r.Heading + " " + r.MemoText();
}

}  // namespace

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
    // Appended piece by piece: GCC 12 at -O3 takes " " + std::to_string(...) for an overlapping copy.
    if (use.MotionCues) {
      out += ' ';
      out += std::to_string(use.MotionCues);
      out += " motion cue(s)";
    }
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

namespace {

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

}  // namespace

void PrintMember(const std::string& key, const Json& value, bool last) {
  Print("  " + JsonString(key) + ": " + OneLine(value) + (last ? "\n" : ",\n"));
}

// Member by member and cue by cue: a scenario of a million cues is never held as one text.
void PrintJsonReport(const std::string& path, const show::LoadResult& loaded, const show::TProjectList& list,
                     const show::ScenarioSummary& s, const BusFindings* bus, const Json* leading) {
  Print("{\n");
  PrintMember("path", path);
  if (leading)
    for (const auto& [key, value] : leading->items()) PrintMember(key, value);
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

}  // namespace fd::cli
