#include "report/show_report.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <set>

#include "journal/cue_fields.h"

namespace fd::report {

namespace {

using Json = nlohmann::json;

double Real(const Json& object, const char* key) {
  const auto it = object.find(key);
  return it != object.end() && it->is_number() ? it->get<double>() : 0.0;
}

// The chase's figures; nullopt when the event lacks the lock count.
std::optional<ChaseFigures> ChaseFiguresOf(const Json& event) {
  const auto lock = journal::JsonWhole(event, "lock_frames");
  if (!lock) return std::nullopt;
  ChaseFigures f;
  f.lockFrames = *lock;
  f.dropouts = journal::JsonWhole(event, "dropouts").value_or(0);
  f.jumps = journal::JsonWhole(event, "jumps").value_or(0);
  f.errorSamples = journal::JsonWhole(event, "error_samples").value_or(0);
  f.errorP50Ms = Real(event, "error_p50_ms");
  f.errorP99Ms = Real(event, "error_p99_ms");
  f.errorMaxMs = Real(event, "error_max_ms");
  return f;
}

ReportCue ReportCueOf(const journal::CueId& id, CueStatus status) {
  ReportCue cue;
  static_cast<journal::CueId&>(cue) = id;
  cue.status = status;
  return cue;
}

std::optional<ReportCue> SkippedCueOf(const Json& event) {
  const auto id = journal::ReadCueId(event);
  if (!id) return std::nullopt;
  ReportCue cue = ReportCueOf(*id, CueStatus::Skipped);
  cue.reason = journal::JsonText(event, "reason");
  if (cue.reason.empty()) cue.reason = "unknown";
  return cue;
}

ReportCue CueOf(const journal::CueEvent& event) {
  ReportCue cue = ReportCueOf(event, event.followed ? CueStatus::Followed : CueStatus::Sent);
  cue.showMs = event.showMs;
  if (event.sentMs >= 0) cue.sentMs = event.sentMs;
  return cue;
}

std::string EndedText(const std::string& source) {
  if (source == "end_of_scenario") return "the scenario ended";
  if (source == "operator") return "stopped by the operator";
  if (source == "remote_control_or_program")
    return "stopped by a stop broadcast (the remote control or another program)";
  if (source == "converter") return "stopped: the converter was lost";
  return "stopped (" + source + ")";
}

// Nearest rank: the smallest value with at least p percent of the values at or below it.
int64_t Percentile(const std::vector<int64_t>& sorted, int percent) {
  const size_t rank = (sorted.size() * static_cast<size_t>(percent) + 99) / 100;
  return sorted[rank == 0 ? 0 : rank - 1];
}

void Summarize(ShowReport& report) {
  ReportSummary& s = report.summary;
  std::vector<int64_t> lateness;
  for (const ReportCue& cue : report.cues) {
    switch (cue.status) {
      case CueStatus::Sent:
        ++s.sent;
        break;
      case CueStatus::Followed:
        ++s.followed;
        break;
      case CueStatus::FromMemory:
        ++s.fromMemory;
        break;
      case CueStatus::Skipped:
        ++s.skipped;
        break;
      case CueStatus::NotSent:
        ++s.notSent;
        break;
    }
    if (const auto late = cue.LatenessMs()) lateness.push_back(*late);
  }
  std::sort(lateness.begin(), lateness.end());
  s.latenessCount = static_cast<int>(lateness.size());
  if (!lateness.empty()) {
    s.latenessP50 = Percentile(lateness, 50);
    s.latenessP99 = Percentile(lateness, 99);
    s.latenessMax = lateness.back();
  }
  if (!report.stops.empty()) {
    const ReportStop& stop = report.stops.front();
    s.ended = EndedText(stop.source) + " at " + ShowTimeText(stop.showMs);
  } else if (report.closed) {
    s.ended = "closed at " + ShowTimeText(report.endMs) + " without a stop";
  } else {
    s.ended = "cut short after " + ShowTimeText(report.endMs) + " (no closing event)";
  }
}

void AddScenarioCues(ShowReport& report, const std::vector<PlannedCue>& planned) {
  std::set<int32_t> known;
  for (const ReportCue& cue : report.cues) known.insert(cue.line);
  const bool autonomous = report.header.launchMode == "autonomous";
  for (const PlannedCue& p : planned) {
    if (known.count(p.line) != 0) continue;
    ReportCue cue = ReportCueOf(p, CueStatus::NotSent);
    if (p.plannedMs < report.header.startMs) {
      cue.reason = kBeforeStartReason;
    } else if (autonomous && p.motion >= 0 && p.plannedMs <= report.endMs) {
      cue.status = CueStatus::FromMemory;
    } else {
      cue.reason = kNotSentReason;
    }
    report.cues.push_back(cue);
  }
}

}  // namespace

const char* CueStatusName(CueStatus status) {
  switch (status) {
    case CueStatus::Sent:
      return "sent";
    case CueStatus::Followed:
      return "followed";
    case CueStatus::FromMemory:
      return "from memory";
    case CueStatus::Skipped:
      return "skipped";
    case CueStatus::NotSent:
      return "not sent";
  }
  return "sent";
}

std::optional<int64_t> ReportCue::LatenessMs() const {
  if (sentMs) return int64_t{*sentMs} - plannedMs;
  if (!showMs) return std::nullopt;
  return int64_t{*showMs} - plannedMs;
}

std::string CueWhatText(const ReportCue& cue) {
  static const char* const kMotions[] = {"C", "L", "R", "LT", "RT"};
  if (cue.motion >= 50 && cue.motion <= 54) return std::string("motion ") + kMotions[cue.motion - 50];
  if (cue.motion >= 0) return "motion " + std::to_string(cue.motion);
  return "channel " + std::to_string(cue.channel);
}

std::string ShowTimeText(int64_t ms) {
  const bool negative = ms < 0;
  // The magnitude of the most negative 32-bit time still fits.
  const uint64_t v = negative ? static_cast<uint64_t>(-(ms + 1)) + 1 : static_cast<uint64_t>(ms);
  char text[48];
  std::snprintf(text, sizeof text, "%s%llu:%02llu:%02llu.%03llu", negative ? "-" : "",
                static_cast<unsigned long long>(v / 3600000), static_cast<unsigned long long>(v / 60000 % 60),
                static_cast<unsigned long long>(v / 1000 % 60), static_cast<unsigned long long>(v % 1000));
  return text;
}

ShowReport BuildShowReport(const journal::ReadJournal& journal, const std::string& journalPath,
                           const ScenarioCheck& scenario) {
  ShowReport report;
  report.journalPath = journalPath;
  report.header = journal.header;
  report.closed = journal.closed;
  report.scenarioNote = scenario.note;
  const Json& head = journal.headerEvent;
  if (head.is_object()) {
    report.headerWall = journal::JsonText(head, "wall");
    report.resumedFrom = journal::JsonText(head, "resumed_from");
    if (const auto it = head.find("timecode"); it != head.end() && it->is_object()) {
      report.timecodeSource = journal::JsonText(*it, "source");
      report.timecodeOffset = journal::JsonText(*it, "offset");
    }
  }
  int32_t endMs = journal.header.startMs;
  auto reach = [&endMs](int32_t ms) { endMs = std::max(endMs, ms); };
  for (const journal::CueEvent& cue : journal.cues) {
    report.cues.push_back(CueOf(cue));
    reach(cue.showMs);
  }
  int unreadable = 0;
  // Plain fields rather than an optional: GCC 12 at -O3 warns of an uninitialised read in one.
  bool inDropout = false;
  int32_t dropoutFrom = 0;
  for (const Json& event : journal.events) {
    const std::string kind = journal::JsonText(event, "event");
    const auto showMs = journal::JsonWhole(event, "show_ms");
    if (kind == "cue_skipped") {
      if (const auto cue = SkippedCueOf(event))
        report.cues.push_back(*cue);
      else
        ++unreadable;
    } else if (kind == "stop") {
      if (!showMs) {
        ++unreadable;
        continue;
      }
      report.stops.push_back({journal::JsonText(event, "source"), *showMs});
      reach(*showMs);
    } else if (kind == "close") {
      if (showMs) reach(*showMs);
    } else if (kind == "converter_lost" || kind == "converter_restored") {
      report.converter.push_back({kind == "converter_lost", journal::JsonText(event, "wall")});
    } else if (kind == "timecode_summary") {
      report.chase = ChaseFiguresOf(event);
      if (!report.chase) ++unreadable;
    } else if (kind.rfind("timecode_", 0) == 0) {
      if (!showMs) {
        ++unreadable;
        continue;
      }
      TimecodeMark mark;
      mark.kind = kind.substr(9);
      mark.showMs = *showMs;
      mark.rate = journal::JsonText(event, "rate");
      mark.fromMs = journal::JsonWhole(event, "from_ms").value_or(0);
      mark.toMs = journal::JsonWhole(event, "to_ms").value_or(0);
      report.timecode.push_back(mark);
      reach(*showMs);
      if (mark.kind == "dropout" && !inDropout) {
        inDropout = true;
        dropoutFrom = *showMs;
      }
      if (mark.kind == "return" && inDropout) {
        report.dropouts.push_back({dropoutFrom, std::max(dropoutFrom, *showMs), true});
        inDropout = false;
      }
    }
  }
  report.endMs = endMs;
  if (inDropout) report.dropouts.push_back({dropoutFrom, std::max(dropoutFrom, endMs), false});
  if (scenario.matched) AddScenarioCues(report, scenario.cues);
  std::stable_sort(report.cues.begin(), report.cues.end(),
                   [](const ReportCue& a, const ReportCue& b) { return a.plannedMs < b.plannedMs; });

  if (journal.tornTail) report.warnings.push_back(kTornTailWarning);
  if (!journal.closed) report.warnings.push_back(kNoCloseWarning);
  if (unreadable > 0)
    report.warnings.push_back(std::to_string(unreadable) + " event(s) without the fields they need, left out");
  Summarize(report);
  return report;
}

}  // namespace fd::report
