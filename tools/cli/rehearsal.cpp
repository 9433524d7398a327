#include "rehearsal.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "show/scenario_report.h"
#include "support/terminal_text.h"

namespace fd::cli {

namespace {

constexpr uint8_t kFireCode = 0x84;
constexpr uint8_t kMotorCode = 0x8C;
// Sent frames are put on a bench time line of their own, far from zero, so that a frame sent a
// moment before the start position cannot wrap round.
constexpr uint64_t kSentBaseUs = 1'000'000'000;

std::string CueText(const sim::FireEntry& e) {
  return e.kind == sim::FireKind::Channel ? "channel " + std::to_string(e.channel)
                                          : "motion " + bus::codec::MotionName(e.motionCode);
}

// The fire frames among those sent: a channel fire names a channel (the channel test's frame
// names none), a motion carries its sub-code.
std::vector<sim::FireEntry> FiresSent(const std::vector<SentFrame>& sent, int32_t fromMs) {
  std::vector<sim::FireEntry> fires;
  for (const SentFrame& s : sent) {
    const bus::Frame6& f = s.frame;
    sim::FireEntry e;
    e.console = f[5];
    if (f[0] == kFireCode && (f[1] != 0 || f[2] != 0)) {
      e.kind = sim::FireKind::Channel;
      e.channel = f[1] + 256 * f[2];
    } else if (f[0] == kMotorCode) {
      e.kind = sim::FireKind::Motion;
      e.motionCode = f[1];
      e.x = f[2];
      e.y = f[3];
    } else {
      continue;
    }
    const int64_t offsetUs = (static_cast<int64_t>(s.showMs) - fromMs) * 1000;
    e.timeUs = static_cast<uint64_t>(static_cast<int64_t>(kSentBaseUs) + offsetUs);
    fires.push_back(e);
  }
  return fires;
}

double ShowMsOf(const sim::FireEntry& e, uint64_t startUs, int32_t fromMs) {
  return (static_cast<double>(e.timeUs) - static_cast<double>(startUs)) / 1000.0 + fromMs;
}

// Bench times are microseconds: a thousandth of a millisecond is all there is to tell.
Json MsValue(double ms) { return JsonNumberValue(std::round(ms * 1000.0) / 1000.0); }

std::string Ms(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", ms);
  return text;
}

std::string PlannedText(const sim::PlannedFire& p) {
  return p.kind == sim::FireKind::Channel ? "channel " + std::to_string(p.channel)
                                          : "motion " + bus::codec::MotionName(p.motionCode);
}

std::string ChaseMarkText(const ChaseMark& m) {
  const std::string at = show::ShowTimeText(static_cast<int32_t>(std::floor(m.showMs)));
  if (m.kind == "lock") return "locked at " + at + " (" + m.rate + " fps)";
  if (m.kind == "dropout") return "dropout at " + at;
  if (m.kind == "return") return "back at " + at;
  return "jump at " + at + ": " + show::ShowTimeText(static_cast<int32_t>(std::floor(m.fromMs))) + " -> " +
         show::ShowTimeText(static_cast<int32_t>(std::floor(m.toMs)));
}

// The chase's lines of the report: where from, each thing the timecode did, the cues passed over
// and how closely the clock followed.
std::string ChaseText(const ChaseRun& run, const std::vector<RehearsalRow>& rows) {
  const journal::TimecodeSummary& f = run.figures;
  std::string out = "Timecode: " + support::TerminalText(run.source, 256) + ", offset " + run.offset + "\n";
  out += f.lockFrames >= 0 ? "  lock after " + std::to_string(f.lockFrames) + " frames\n" : "  never locked\n";
  for (const ChaseMark& m : run.marks) out += "  " + ChaseMarkText(m) + "\n";
  for (const RehearsalRow& r : rows)
    if (!r.skipped.empty())
      out += "  skipped: line " + std::to_string(r.line) + " at " + show::ShowTimeText(r.timeMs) + ", console " +
             std::to_string(r.console) + " " + r.cue + " (" + r.skipped + ")\n";
  char line[160];
  if (f.errorSamples > 0)
    std::snprintf(line, sizeof line, "  chase error: p50 %.2f ms  p99 %.2f ms  max %.2f ms (%lld frames)\n",
                  f.errorP50Ms, f.errorP99Ms, f.errorMaxMs, static_cast<long long>(f.errorSamples));
  else
    std::snprintf(line, sizeof line, "  chase error: no locked frame\n");
  return out + line + "\n";
}

std::string Signed(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%+.1f", ms);
  return text;
}

}  // namespace

double SizePercentile(const std::vector<double>& values, double p) {
  if (values.empty()) return 0;
  std::vector<double> sizes;
  sizes.reserve(values.size());
  for (double v : values) sizes.push_back(std::fabs(v));
  std::sort(sizes.begin(), sizes.end());
  const auto rank = static_cast<size_t>(std::ceil(p / 100.0 * static_cast<double>(sizes.size())));
  return sizes[std::clamp<size_t>(rank, 1, sizes.size()) - 1];
}

const char* ShowEndText(ShowEnd end) {
  switch (end) {
    case ShowEnd::Finished:
      return "ran to its end";
    case ShowEnd::Operator:
      return "stopped by the operator";
    case ShowEnd::Bus:
      return "stopped by a stop broadcast on the bus";
    case ShowEnd::Converter:
      return "stopped: the converter was lost";
    case ShowEnd::TimecodeJump:
      return "stopped: the timecode jumped forward (the consoles would have caught up at once)";
    case ShowEnd::NoTimecode:
      return "did not start: the timecode did not lock";
  }
  return "";
}

int RehearsalReport::ExitStatus() const {
  if (end != ShowEnd::Finished || stopUndelivered) return 1;
  if (firingObservable && notFired > 0) return 1;
  return unasked.empty() && doubles.empty() ? 0 : 1;
}

RehearsalReport BuildRehearsalReport(const RehearsalRun& run) {
  RehearsalReport report;
  report.autonomous = run.autonomous;
  report.end = run.end;
  report.stopUndelivered = run.stopUndelivered;

  // A cue the chase skipped is not asked for: should its target fire all the same, that firing is
  // unasked.
  std::vector<bool> isSkipped(run.cues.size(), false);
  std::vector<devices::CueRecord> played, skipped;
  for (const SkippedCue& s : run.skipped)
    if (s.index < run.cues.size()) isSkipped[s.index] = true;
  for (size_t i = 0; i < run.cues.size(); ++i) (isSkipped[i] ? skipped : played).push_back(run.cues[i]);
  const std::vector<sim::PlannedFire> planned = sim::PlannedFires(played, run.fromMs);

  sim::CommandCopies copies;
  copies.thriceHeard = run.thriceHeardConsoles;
  const std::vector<sim::FireEntry> sentFires = FiresSent(run.sent, run.fromMs);
  const sim::FireAudit sent = AuditFiresInOrder(planned, sentFires, kSentBaseUs, run.fromMs, copies);
  std::optional<sim::FireAudit> fired;
  if (run.fireLogKnown) fired = AuditFiresInOrder(planned, run.fireLog, run.showStartUs, run.fromMs, copies);

  // The audits keep the cues in time order, as the list has them.
  for (size_t i = 0; i < sent.cues.size(); ++i) {
    const sim::FireMatch& s = sent.cues[i];
    RehearsalRow row;
    row.line = s.planned.line;
    row.timeMs = s.planned.timeMs;
    row.console = s.planned.console;
    row.cue = PlannedText(s.planned);
    if (s.fired && !run.autonomous) {
      row.sentMs = s.planned.timeMs + s.latenessMs;
      row.latenessMs = s.latenessMs;
    }
    if (fired) {
      const sim::FireMatch& f = fired->cues[i];
      row.firedMs.reset();
      row.latenessMs.reset();
      if (f.fired) {
        row.firedMs = f.planned.timeMs + f.latenessMs;
        row.latenessMs = f.latenessMs;
        const std::pair<int, int> target{s.planned.console, s.planned.channel};
        row.openCircuit = s.planned.kind == sim::FireKind::Channel &&
                          std::find(run.openChannels.begin(), run.openChannels.end(), target) != run.openChannels.end();
      }
    }
    report.rows.push_back(row);
  }
  for (const SkippedCue& s : run.skipped) {
    if (s.index >= run.cues.size()) continue;
    const std::vector<devices::CueRecord> cue{run.cues[s.index]};
    const std::vector<sim::PlannedFire> one = sim::PlannedFires(cue);
    if (one.empty()) continue;
    RehearsalRow row;
    row.line = run.cues[s.index].Line > 0 ? run.cues[s.index].Line : static_cast<int>(s.index) + 1;
    row.timeMs = one[0].timeMs;
    row.console = one[0].console;
    row.cue = PlannedText(one[0]);
    row.skipped = s.reason;
    report.rows.push_back(row);
  }
  std::stable_sort(report.rows.begin(), report.rows.end(),
                   [](const RehearsalRow& a, const RehearsalRow& b) { return a.timeMs < b.timeMs; });
  report.skipped = static_cast<int>(skipped.size());
  report.chase = run.chase;

  // What the fired column rests on: the bench's fire log, the frames sent, or nothing.
  const sim::FireAudit* judged = fired ? &*fired : run.autonomous ? nullptr : &sent;
  report.firingObservable = judged != nullptr;
  if (judged) {
    report.latenessSource = fired ? "the bench's fire log" : "the fire frames sent";
    // A firing into an open circuit lit nothing: that cue did not fire.
    const int open = fired ? static_cast<int>(std::count_if(report.rows.begin(), report.rows.end(),
                                                            [](const RehearsalRow& r) { return r.openCircuit; }))
                           : 0;
    report.fired = judged->Fired() - open;
    report.notFired = judged->NotFired() + open;
    report.p50 = judged->LatenessPercentile(50);
    report.p99 = judged->LatenessPercentile(99);
    report.max = judged->LatenessPercentile(100);
    const uint64_t startUs = fired ? run.showStartUs : kSentBaseUs;
    for (const sim::FireEntry& e : judged->unplanned)
      report.unasked.push_back({e.console, CueText(e), ShowMsOf(e, startUs, run.fromMs), !fired.has_value()});
    for (const sim::FireEntry& e : judged->doubles)
      report.doubles.push_back({e.console, CueText(e), ShowMsOf(e, startUs, run.fromMs), !fired.has_value()});
  }
  // In autonomous launch the program itself never fires: any fire frame it sent was unasked.
  if (run.autonomous)
    for (const sim::FireEntry& e : sentFires)
      report.unasked.push_back({e.console, CueText(e), ShowMsOf(e, kSentBaseUs, run.fromMs), true});
  return report;
}

std::string RehearsalText(const RehearsalReport& report) {
  std::string out;
  char line[256];
  std::snprintf(line, sizeof line, "%6s  %-12s  %7s  %-12s  %10s  %10s  %8s\n", "Line", "Time", "Console", "Fires",
                "Sent (ms)", "Fired (ms)", "Late (ms)");
  out += line;
  const char* unseen = report.firingObservable ? "-" : "?";
  for (const RehearsalRow& r : report.rows) {
    std::snprintf(line, sizeof line, "%6d  %-12s  %7d  %-12s  %10s  %10s  %8s\n", r.line,
                  show::ShowTimeText(r.timeMs).c_str(), r.console, r.cue.c_str(),
                  r.sentMs ? Ms(*r.sentMs).c_str() : "-",
                  r.firedMs            ? Ms(*r.firedMs).c_str()
                  : !r.skipped.empty() ? "skipped"
                                       : unseen,
                  r.latenessMs ? Signed(*r.latenessMs).c_str() : "-");
    out += line;
  }
  out += "\n";
  const int total = static_cast<int>(report.rows.size()) - report.skipped;
  if (report.chase) out += ChaseText(*report.chase, report.rows);
  if (report.firingObservable) {
    std::snprintf(line, sizeof line, "Lateness (from %s): p50 %.1f ms  p99 %.1f ms  max %.1f ms\n",
                  report.latenessSource.c_str(), report.p50, report.p99, report.max);
    out += line;
    out += "Cues fired: " + std::to_string(report.fired) + " of " + std::to_string(total) + "\n";
    out += "Cues not fired: " + std::to_string(report.notFired) + "\n";
    for (const RehearsalRow& r : report.rows)
      if (r.openCircuit)
        out += "  line " + std::to_string(r.line) + ": console " + std::to_string(r.console) + " " + r.cue +
               " is not connected on the bench: it fired into an open circuit, nothing lit\n";
  } else {
    out += "Cues fired: not observable on this bus (the consoles fire from their memory)\n";
  }
  if (report.chase) out += "Cues skipped: " + std::to_string(report.skipped) + "\n";
  out += "Fired without a cue: " + std::to_string(report.unasked.size()) + "\n";
  for (const UnaskedFire& u : report.unasked)
    out += "  console " + std::to_string(u.console) + " " + u.what + " at " + Ms(u.showMs) + " ms" +
           (u.sentOnly ? " (fire frame sent)" : "") + "\n";
  for (const UnaskedFire& d : report.doubles)
    out += "Fired twice: console " + std::to_string(d.console) + " " + d.what + " at " + Ms(d.showMs) + " ms" +
           (d.sentOnly ? " (fire frame sent)" : "") + "\n";
  out += std::string("Show: ") + ShowEndText(report.end) + "\n";
  if (report.stopUndelivered) out += "Stop not delivered: the converter did not take the stop frames\n";
  return out;
}

Json RehearsalRowJson(const RehearsalRow& row) {
  Json o;
  o["line"] = row.line;
  o["time_ms"] = row.timeMs;
  o["time"] = show::ShowTimeText(row.timeMs);
  o["console"] = row.console;
  o["fires"] = row.cue;
  o["sent_ms"] = row.sentMs ? MsValue(*row.sentMs) : Json(nullptr);
  o["fired_ms"] = row.firedMs ? MsValue(*row.firedMs) : Json(nullptr);
  o["lateness_ms"] = row.latenessMs ? MsValue(*row.latenessMs) : Json(nullptr);
  o["open_circuit"] = row.openCircuit;
  o["skipped"] = row.skipped.empty() ? Json(nullptr) : Json(row.skipped);
  return o;
}

Json RehearsalSummaryJson(const RehearsalReport& report) {
  Json o;
  o["cues"] = report.rows.size();
  o["firing_observable"] = report.firingObservable;
  if (report.firingObservable) {
    o["lateness_from"] = report.latenessSource;
    o["fired"] = report.fired;
    o["not_fired"] = report.notFired;
    o["lateness_p50_ms"] = MsValue(report.p50);
    o["lateness_p99_ms"] = MsValue(report.p99);
    o["lateness_max_ms"] = MsValue(report.max);
  }
  auto firings = [](const std::vector<UnaskedFire>& list) {
    Json a = Json::array();
    for (const UnaskedFire& u : list) {
      Json e;
      e["console"] = u.console;
      e["fires"] = u.what;
      e["show_ms"] = MsValue(u.showMs);
      e["frame_only"] = u.sentOnly;
      a.push_back(e);
    }
    return a;
  };
  o["fired_without_cue"] = firings(report.unasked);
  o["double_firings"] = firings(report.doubles);
  if (report.chase) o["skipped"] = report.skipped;
  o["ended"] = report.end == ShowEnd::Finished       ? "end"
               : report.end == ShowEnd::Operator     ? "operator"
               : report.end == ShowEnd::Bus          ? "bus"
               : report.end == ShowEnd::Converter    ? "converter"
               : report.end == ShowEnd::TimecodeJump ? "timecode_jump"
                                                     : "no_timecode";
  o["stop_delivered"] = !report.stopUndelivered;
  o["exit_status"] = report.ExitStatus();
  return o;
}

Json RehearsalChaseJson(const RehearsalReport& report) {
  if (!report.chase) return nullptr;
  const ChaseRun& chase = *report.chase;
  const journal::TimecodeSummary& f = chase.figures;
  Json o;
  o["source"] = chase.source;
  o["offset"] = chase.offset;
  o["lock_frames"] = f.lockFrames < 0 ? Json(nullptr) : Json(f.lockFrames);
  Json lock = nullptr;
  Json dropouts = Json::array(), returns = Json::array(), jumps = Json::array();
  for (const ChaseMark& m : chase.marks) {
    if (m.kind == "lock" && lock.is_null()) lock = Json{{"show_ms", MsValue(m.showMs)}, {"rate", m.rate}};
    if (m.kind == "dropout") dropouts.push_back(MsValue(m.showMs));
    if (m.kind == "return") returns.push_back(MsValue(m.showMs));
    if (m.kind == "jump")
      jumps.push_back(Json{{"show_ms", MsValue(m.showMs)}, {"from_ms", MsValue(m.fromMs)}, {"to_ms", MsValue(m.toMs)}});
  }
  o["lock"] = lock;
  o["dropouts_ms"] = dropouts;
  o["returns_ms"] = returns;
  o["jumps"] = jumps;
  Json skipped = Json::array();
  for (const RehearsalRow& r : report.rows)
    if (!r.skipped.empty())
      skipped.push_back(Json{
          {"line", r.line}, {"time_ms", r.timeMs}, {"console", r.console}, {"fires", r.cue}, {"reason", r.skipped}});
  o["skipped"] = skipped;
  o["error_samples"] = f.errorSamples;
  o["error_p50_ms"] = MsValue(f.errorP50Ms);
  o["error_p99_ms"] = MsValue(f.errorP99Ms);
  o["error_max_ms"] = MsValue(f.errorMaxMs);
  return o;
}

}  // namespace fd::cli
