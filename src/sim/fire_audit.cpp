#include "sim/fire_audit.h"

#include <algorithm>
#include <cmath>

namespace fd::sim {

namespace {

bool SameTarget(const PlannedFire& cue, const FireEntry& entry) {
  if (cue.console != entry.console || cue.kind != entry.kind) return false;
  return cue.kind == FireKind::Channel ? cue.channel == entry.channel : cue.motionCode == entry.motionCode;
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

}  // namespace fd::sim
