#include "sim/fire_audit.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <tuple>

namespace fd::sim {

namespace {

bool SameTarget(const PlannedFire& cue, const FireEntry& entry) {
  if (cue.console != entry.console || cue.kind != entry.kind) return false;
  return cue.kind == FireKind::Channel ? cue.channel == entry.channel : cue.motionCode == entry.motionCode;
}

// A console's channel or motion: what one cue fires.
using Target = std::tuple<int, FireKind, int>;

Target TargetOf(const PlannedFire& cue) {
  return {cue.console, cue.kind, cue.kind == FireKind::Channel ? cue.channel : cue.motionCode};
}

Target TargetOf(const FireEntry& entry) {
  return {entry.console, entry.kind, entry.kind == FireKind::Channel ? entry.channel : entry.motionCode};
}

}  // namespace

int FireAudit::Fired() const {
  return static_cast<int>(std::count_if(cues.begin(), cues.end(), [](const FireMatch& m) { return m.fired; }));
}

double FireAudit::LatenessPercentile(double percent) const {
  std::vector<double> late;
  for (const FireMatch& m : cues)
    if (m.fired) late.push_back(m.latenessMs);
  if (late.empty()) return 0;
  std::sort(late.begin(), late.end());
  // Nearest rank: the smallest value with at least `percent` of the values at or below it.
  const double rank = std::ceil(std::clamp(percent, 0.0, 100.0) / 100.0 * static_cast<double>(late.size()));
  const size_t index = rank < 1 ? 0 : static_cast<size_t>(rank) - 1;
  return late[std::min(index, late.size() - 1)];
}

FireAudit AuditFires(std::vector<PlannedFire> planned, const std::vector<FireEntry>& log, uint64_t showStartUs,
                     int32_t startPositionMs, double earlyMs, double lateMs) {
  std::stable_sort(planned.begin(), planned.end(),
                   [](const PlannedFire& a, const PlannedFire& b) { return a.timeMs < b.timeMs; });
  auto showTimeMs = [&](const FireEntry& e) {
    return (static_cast<double>(e.timeUs) - static_cast<double>(showStartUs)) / 1000.0 + startPositionMs;
  };
  std::vector<bool> taken(log.size(), false);
  FireAudit audit;
  for (const PlannedFire& cue : planned) {
    FireMatch match{cue, std::nullopt, 0};
    for (size_t i = 0; i < log.size(); ++i) {
      if (taken[i] || !SameTarget(cue, log[i])) continue;
      const double at = showTimeMs(log[i]);
      if (at < cue.timeMs - earlyMs || at > cue.timeMs + lateMs) continue;
      taken[i] = true;
      match.fired = log[i];
      match.latenessMs = showTimeMs(log[i]) - cue.timeMs;
      break;
    }
    audit.cues.push_back(match);
  }
  for (size_t i = 0; i < log.size(); ++i) {
    if (taken[i]) continue;
    const bool repeat = std::any_of(audit.cues.begin(), audit.cues.end(), [&](const FireMatch& m) {
      return m.fired && SameTarget(m.planned, log[i]) && log[i].timeUs >= m.fired->timeUs;
    });
    (repeat ? audit.repeated : audit.unplanned).push_back(log[i]);
  }
  return audit;
}

FireAudit AuditFiresInOrder(std::vector<PlannedFire> planned, const std::vector<FireEntry>& log, uint64_t showStartUs,
                            int32_t startPositionMs, const CommandCopies& copies) {
  std::stable_sort(planned.begin(), planned.end(),
                   [](const PlannedFire& a, const PlannedFire& b) { return a.timeMs < b.timeMs; });
  auto showTimeMs = [&](const FireEntry& e) {
    return (static_cast<double>(e.timeUs) - static_cast<double>(showStartUs)) / 1000.0 + startPositionMs;
  };
  FireAudit audit;
  std::map<Target, std::vector<size_t>> cuesOf;  // each target's cues, in time order
  for (const PlannedFire& cue : planned) {
    cuesOf[TargetOf(cue)].push_back(audit.cues.size());
    audit.cues.push_back({cue, std::nullopt, 0});
  }
  // The log is in the order things happened; sorting by time only guards against a log merged
  // from several sources.
  std::vector<size_t> order(log.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return log[a].timeUs < log[b].timeUs; });

  struct Seen {
    size_t commands = 0;  // firings counted so far, copies of one command as one
    double firstMs = 0;   // the last command's first firing
    int copies = 0;       // its firings so far
    int copiesAllowed = 1;
  };
  std::map<Target, Seen> seen;
  for (size_t i : order) {
    const FireEntry& e = log[i];
    const Target target = TargetOf(e);
    Seen& s = seen[target];
    const double at = showTimeMs(e);
    if (e.source == FireSource::Direct && s.copies > 0 && s.copies < s.copiesAllowed &&
        at - s.firstMs <= copies.windowMs) {
      ++s.copies;
      audit.repeated.push_back(e);
      continue;
    }
    const bool thrice =
        e.source == FireSource::Direct &&
        std::find(copies.thriceHeard.begin(), copies.thriceHeard.end(), e.console) != copies.thriceHeard.end();
    s.firstMs = at;
    s.copies = 1;
    s.copiesAllowed = thrice ? 3 : 1;
    const size_t n = s.commands++;
    const auto cues = cuesOf.find(target);
    if (cues != cuesOf.end() && n < cues->second.size()) {
      FireMatch& match = audit.cues[cues->second[n]];
      match.fired = e;
      match.latenessMs = at - match.planned.timeMs;
      continue;
    }
    audit.unplanned.push_back(e);
    if (n > 0) audit.doubles.push_back(e);
  }
  return audit;
}

}  // namespace fd::sim
