#include "report/show_report_output.h"

#include <algorithm>
#include <cstdio>

#include "journal/cue_fields.h"
#include "support/terminal_text.h"

namespace fd::report {

namespace {

using Json = nlohmann::ordered_json;

std::string Safe(const std::string& text) { return support::TerminalText(text, 512); }

std::string Padded(const std::string& text, size_t width, bool right = false) {
  if (text.size() >= width) return text;
  const std::string pad(width - text.size(), ' ');
  return right ? pad + text : text + pad;
}

std::string LatenessText(const ReportCue& cue) {
  const auto late = cue.LatenessMs();
  return late ? std::to_string(*late) : std::string();
}

std::string StatusText(const ReportCue& cue) {
  std::string text = CueStatusName(cue.status);
  if (!cue.reason.empty()) text += ": " + cue.reason;
  return text;
}

std::string TimecodeText(const TimecodeMark& mark) {
  if (mark.kind == "lock") return "lock" + (mark.rate.empty() ? std::string() : " at " + mark.rate + " fps");
  if (mark.kind == "jump") return "jump from " + ShowTimeText(mark.fromMs) + " to " + ShowTimeText(mark.toMs);
  return mark.kind;
}

std::string ChaseFiguresText(const ChaseFigures& f) {
  std::string out = "\nChase\n";
  out += f.lockFrames >= 0 ? "  locked after " + std::to_string(f.lockFrames) + " frames\n" : "  never locked\n";
  out += "  dropouts: " + std::to_string(f.dropouts) + ", jumps: " + std::to_string(f.jumps) + "\n";
  char line[160];
  if (f.errorSamples > 0)
    std::snprintf(line, sizeof line, "  chase error: p50 %.3f ms, p99 %.3f ms, max %.3f ms (%lld frames)\n",
                  f.errorP50Ms, f.errorP99Ms, f.errorMaxMs, static_cast<long long>(f.errorSamples));
  else
    std::snprintf(line, sizeof line, "  chase error: no locked frame\n");
  return out + line;
}

std::string ConsolesText(const journal::JournalHeader& header) {
  std::string text;
  for (const journal::ConsoleState& console : header.consoles) {
    if (!text.empty()) text += ", ";
    text += std::to_string(console.id);
    if (!console.firmware.empty()) text += " (firmware " + console.firmware + ")";
  }
  return text.empty() ? "none registered" : text;
}

std::string DigestText(const std::string& sha) { return sha.empty() ? std::string() : " (sha256 " + sha + ")"; }

Json CueJson(const ReportCue& cue) {
  Json o;
  journal::PutCueId(o, cue);
  o["show_ms"] = cue.showMs ? Json(*cue.showMs) : Json(nullptr);
  o["sent_ms"] = cue.sentMs ? Json(*cue.sentMs) : Json(nullptr);
  const auto late = cue.LatenessMs();
  o["lateness_ms"] = late ? Json(*late) : Json(nullptr);
  o["status"] = CueStatusName(cue.status);
  o["reason"] = cue.reason.empty() ? Json(nullptr) : Json(cue.reason);
  return o;
}

}  // namespace

std::string CsvField(const std::string& text) {
  std::string field = text;
  if (!field.empty() && (field[0] == '=' || field[0] == '+' || field[0] == '-' || field[0] == '@')) {
    // A number is a number; anything else that a spreadsheet would take for a formula is not one.
    if (field.find_first_not_of("-+0123456789") != std::string::npos) field.insert(0, "'");
  }
  if (field.find_first_of(",\"\n") == std::string::npos) return field;
  std::string quoted = "\"";
  for (char c : field) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string ShowReportText(const ShowReport& report) {
  const journal::JournalHeader& h = report.header;
  std::string out = "Show report: " + Safe(report.journalPath) + "\n";
  out += "Scenario: " + (h.scenarioPath.empty() ? std::string("none named") : Safe(h.scenarioPath)) +
         DigestText(Safe(h.scenarioSha256)) + "\n";
  if (!report.scenarioNote.empty()) out += "  " + Safe(report.scenarioNote) + "\n";
  if (!h.soundtrackPath.empty()) out += "Soundtrack: " + Safe(h.soundtrackPath) + "\n";
  out += "Launch: " + (h.launchMode.empty() ? std::string("unknown") : Safe(h.launchMode)) + " from " +
         ShowTimeText(h.startMs) + "\n";
  if (!report.headerWall.empty()) out += "Began: " + Safe(report.headerWall) + "\n";
  if (!report.resumedFrom.empty()) out += "Resumed from: " + Safe(report.resumedFrom) + "\n";
  if (!report.timecodeSource.empty())
    out += "Timecode: " + Safe(report.timecodeSource) + ", offset " + Safe(report.timecodeOffset) + "\n";
  out += "Consoles: " + Safe(ConsolesText(h)) + "\n";
  if (!h.programVersion.empty()) out += "Program: " + Safe(h.programVersion) + "\n";

  out += "\nCues\n";
  out += "  line  console  cue          planned       sent          late ms  status\n";
  for (const ReportCue& cue : report.cues) {
    out += "  " + Padded(std::to_string(cue.line), 4, true) + "  " + Padded(std::to_string(cue.console), 7, true) +
           "  " + Padded(CueWhatText(cue), 11) + "  " + Padded(ShowTimeText(cue.plannedMs), 12) + "  " +
           Padded(cue.sentMs   ? ShowTimeText(*cue.sentMs)
                  : cue.showMs ? ShowTimeText(*cue.showMs)
                               : "-",
                  12) +
           "  " + Padded(LatenessText(cue), 7, true) + "  " + Safe(StatusText(cue)) + "\n";
  }
  if (report.cues.empty()) out += "  none\n";

  out += "\nStops\n";
  for (const ReportStop& stop : report.stops) out += "  " + ShowTimeText(stop.showMs) + "  " + Safe(stop.source) + "\n";
  if (report.stops.empty()) out += "  none\n";
  if (!report.timecode.empty()) {
    out += "\nTimecode\n";
    for (const TimecodeMark& mark : report.timecode)
      out += "  " + ShowTimeText(mark.showMs) + "  " + Safe(TimecodeText(mark)) + "\n";
  }
  if (report.chase) out += ChaseFiguresText(*report.chase);
  if (!report.converter.empty()) {
    out += "\nConverter\n";
    for (const ConverterChange& change : report.converter)
      out += "  " + Safe(change.wall) + "  " + (change.lost ? "lost" : "back") + "\n";
  }
  if (!report.warnings.empty()) {
    out += "\nWarnings\n";
    for (const std::string& warning : report.warnings) out += "  " + Safe(warning) + "\n";
  }

  const ReportSummary& s = report.summary;
  out += "\nSummary\n";
  out += "  cues sent: " + std::to_string(s.sent) + ", followed: " + std::to_string(s.followed) +
         ", skipped: " + std::to_string(s.skipped) + ", not sent: " + std::to_string(s.notSent);
  if (s.fromMemory > 0) out += ", motion from memory: " + std::to_string(s.fromMemory);
  out += "\n";
  if (s.latenessCount > 0)
    out += "  lateness: p50 " + std::to_string(s.latenessP50) + " ms, p99 " + std::to_string(s.latenessP99) +
           " ms, max " + std::to_string(s.latenessMax) + " ms\n";
  else
    out += "  lateness: no cue went\n";
  out += "  dropouts: " + std::to_string(report.dropouts.size()) + ", converter losses: " +
         std::to_string(std::count_if(report.converter.begin(), report.converter.end(),
                                      [](const ConverterChange& c) { return c.lost; })) +
         "\n";
  out += "  ended: " + Safe(s.ended) + "\n";
  return out;
}

Json ShowReportJson(const ShowReport& report) {
  const journal::JournalHeader& h = report.header;
  Json doc;
  doc["kind"] = "show";
  doc["journal"] = report.journalPath;
  doc["began"] = report.headerWall.empty() ? Json(nullptr) : Json(report.headerWall);
  doc["scenario"] =
      h.scenarioPath.empty()
          ? Json(nullptr)
          : Json{{"path", h.scenarioPath}, {"sha256", h.scenarioSha256}, {"matched", report.scenarioNote.empty()}};
  doc["scenario_note"] = report.scenarioNote.empty() ? Json(nullptr) : Json(report.scenarioNote);
  doc["soundtrack"] = h.soundtrackPath.empty() ? Json(nullptr) : Json(h.soundtrackPath);
  doc["launch_mode"] = h.launchMode;
  doc["start_ms"] = h.startMs;
  doc["resumed_from"] = report.resumedFrom.empty() ? Json(nullptr) : Json(report.resumedFrom);
  doc["timecode"] = report.timecodeSource.empty()
                        ? Json(nullptr)
                        : Json{{"source", report.timecodeSource}, {"offset", report.timecodeOffset}};
  Json consoles = Json::array();
  for (const journal::ConsoleState& c : h.consoles) consoles.push_back({{"id", c.id}, {"firmware", c.firmware}});
  doc["consoles"] = consoles;
  Json cues = Json::array();
  for (const ReportCue& cue : report.cues) cues.push_back(CueJson(cue));
  doc["cues"] = cues;
  Json stops = Json::array();
  for (const ReportStop& stop : report.stops) stops.push_back({{"source", stop.source}, {"show_ms", stop.showMs}});
  doc["stops"] = stops;
  Json timecode = Json::array();
  for (const TimecodeMark& mark : report.timecode) {
    Json m{{"kind", mark.kind}, {"show_ms", mark.showMs}};
    if (mark.kind == "lock") m["rate"] = mark.rate;
    if (mark.kind == "jump") {
      m["from_ms"] = mark.fromMs;
      m["to_ms"] = mark.toMs;
    }
    timecode.push_back(m);
  }
  doc["timecode_events"] = timecode;
  if (report.chase) {
    const ChaseFigures& f = *report.chase;
    doc["chase"] = Json{{"lock_frames", f.lockFrames < 0 ? Json(nullptr) : Json(f.lockFrames)},
                        {"dropouts", f.dropouts},
                        {"jumps", f.jumps},
                        {"error_samples", f.errorSamples},
                        {"error_p50_ms", f.errorP50Ms},
                        {"error_p99_ms", f.errorP99Ms},
                        {"error_max_ms", f.errorMaxMs}};
  } else {
    doc["chase"] = nullptr;
  }
  Json dropouts = Json::array();
  for (const DropoutSpan& d : report.dropouts)
    dropouts.push_back({{"from_ms", d.fromMs}, {"to_ms", d.toMs}, {"returned", d.returned}});
  doc["dropouts"] = dropouts;
  Json converter = Json::array();
  for (const ConverterChange& c : report.converter)
    converter.push_back({{"event", c.lost ? "lost" : "restored"}, {"wall", c.wall}});
  doc["converter"] = converter;
  doc["warnings"] = report.warnings;
  const ReportSummary& s = report.summary;
  Json summary{{"cues_sent", s.sent},
               {"cues_followed", s.followed},
               {"cues_from_memory", s.fromMemory},
               {"cues_skipped", s.skipped},
               {"cues_not_sent", s.notSent}};
  if (s.latenessCount > 0) {
    summary["lateness_p50_ms"] = s.latenessP50;
    summary["lateness_p99_ms"] = s.latenessP99;
    summary["lateness_max_ms"] = s.latenessMax;
  } else {
    summary["lateness_p50_ms"] = nullptr;
    summary["lateness_p99_ms"] = nullptr;
    summary["lateness_max_ms"] = nullptr;
  }
  summary["closed"] = report.closed;
  summary["ended"] = s.ended;
  doc["summary"] = summary;
  return doc;
}

std::string ShowReportCsv(const ShowReport& report) {
  std::string out = "line,console,channel,motion,planned_ms,show_ms,lateness_ms,status,reason\n";
  for (const ReportCue& cue : report.cues) {
    const auto late = cue.LatenessMs();
    out += std::to_string(cue.line) + "," + std::to_string(cue.console) + "," +
           (cue.motion >= 0 ? std::string() : std::to_string(cue.channel)) + "," +
           (cue.motion >= 0 ? CueWhatText(cue).substr(7) : std::string()) + "," + std::to_string(cue.plannedMs) + "," +
           (cue.showMs ? std::to_string(*cue.showMs) : std::string()) + "," +
           (late ? std::to_string(*late) : std::string()) + "," + CueStatusName(cue.status) + "," +
           CsvField(cue.reason) + "\n";
  }
  return out;
}

}  // namespace fd::report
