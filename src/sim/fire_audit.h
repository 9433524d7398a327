#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "bus/tport_codec.h"
#include "sim/fire_log.h"

namespace fd::sim {

// What a show asked of the bench: one cue. Channels are the wire's (1-based), as in the fire log.
struct PlannedFire {
  int line = 0;  // in the scenario file, for the report
  int32_t timeMs = 0;
  int console = 0;
  FireKind kind = FireKind::Channel;
  int channel = 0;
  uint8_t motionCode = 0;  // motions: the motor sub-code
};

struct FireMatch {
  PlannedFire planned;
  std::optional<FireEntry> fired;  // the first firing that answered this cue
  double latenessMs = 0;           // show time of that firing minus the cue's time
};

// The show as the bench saw it: each cue with its firing, the firings nobody asked for, and the
// firings that repeat a cue already fired (a console talked to with repeated exchanges hears its
// fire command up to three times and fires each time).
struct FireAudit {
  std::vector<FireMatch> cues;
  std::vector<FireEntry> unplanned;
  std::vector<FireEntry> repeated;
  // AuditFiresInOrder only: the unplanned firings of a target that had fired before (its second
  // firing and later when the show asked it once or never, its fourth when it asked three times).
  std::vector<FireEntry> doubles;

  int Fired() const;
  int NotFired() const { return static_cast<int>(cues.size()) - Fired(); }
  // Lateness percentile (0..100) over the fired cues; 0 when none fired.
  double LatenessPercentile(double percent) const;
};

// Matches the fire log against the cues, in time order: each cue takes the earliest firing of
// its console and channel (or motion) not taken yet that came no earlier than `earlyMs` before it
// and no later than `lateMs` after it (a firing seconds later belongs to a later cue, or to none).
// The show clock started at bench time showStartUs with show time startPositionMs.
FireAudit AuditFires(std::vector<PlannedFire> planned, const std::vector<FireEntry>& log, uint64_t showStartUs,
                     int32_t startPositionMs, double earlyMs = 50, double lateMs = 1000);

// How many times a console may hear one command: three for one talked to with repeated exchanges
// (a fire command without a reply goes out three times, an exchange twice), otherwise once.
struct CommandCopies {
  std::vector<int> thriceHeard;  // consoles, by address
  // The copies of one command follow each other on the wire within a few frame times.
  double windowMs = 100;
};

// Matches the fire log against the cues by order, with no time window: the n-th cue (in time order)
// of a console and channel (or motion) takes that target's n-th firing, whenever it came, so a
// burst that takes a second to send is still counted whole. The direct firings of a thrice-heard
// console that come within the copies' window of the first one count as one firing (at most
// three). A firing left over when its target has no cue left is unplanned, and also a double when
// that target had fired before.
FireAudit AuditFiresInOrder(std::vector<PlannedFire> planned, const std::vector<FireEntry>& log, uint64_t showStartUs,
                            int32_t startPositionMs, const CommandCopies& copies = {});

// The cues of a show (records with TimeMs, Console, Channel counted from 0, CueKind and Line, as
// the scenario list holds them) as the bench should fire them, from fromMs on. A cue without a
// file line is named by its place in the list.
template <class Cue>
std::vector<PlannedFire> PlannedFires(const std::vector<Cue>& cues,
                                      int32_t fromMs = std::numeric_limits<int32_t>::min()) {
  std::vector<PlannedFire> planned;
  for (size_t i = 0; i < cues.size(); ++i) {
    const Cue& cue = cues[i];
    if (cue.TimeMs < fromMs) continue;
    PlannedFire p;
    p.line = cue.Line > 0 ? cue.Line : static_cast<int>(i) + 1;
    p.timeMs = cue.TimeMs;
    p.console = cue.Console;
    if (bus::codec::MotorSubCode(cue.CueKind, p.motionCode)) {
      p.kind = FireKind::Motion;
    } else {
      p.channel = cue.Channel + 1;
    }
    planned.push_back(p);
  }
  return planned;
}

}  // namespace fd::sim
