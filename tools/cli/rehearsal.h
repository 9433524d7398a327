#pragma once

// What a rehearsal tells the operator: for each cue from the start position, when its fire frame
// went out and when the console fired, how late, and in the summary what did not fire, what fired
// unasked and which targets fired more often than the scenario asks. Built from what the run
// recorded, so that it can be judged without a bus. Firings are matched to cues by order per
// console and channel (or motion), never by a time window: a burst of cues at one instant takes
// the bus a while, and every one of its firings is still its cue's.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bus/bus_frame.h"
#include "cli_json.h"
#include "devices/cue_record.h"
#include "journal/journal_events.h"
#include "sim/fire_audit.h"

namespace fd::cli {

// A frame the program sent while the show ran, with the show time at which it went out.
struct SentFrame {
  bus::Frame6 frame{};
  int32_t showMs = 0;
};

// How the show ended. TimecodeJump: the chased timecode jumped forward in autonomous launch, which
// stops the show; NoTimecode: a chased show never started, the timecode did not lock in time.
enum class ShowEnd { Finished, Operator, Bus, Converter, TimecodeJump, NoTimecode };

// What the chased timecode did, at show times: "lock" (with its rate), "dropout", "return", "jump".
struct ChaseMark {
  std::string kind;
  double showMs = 0;
  std::string rate;   // lock
  double fromMs = 0;  // jump
  double toMs = 0;    // jump
};

// A show that chased timecode.
struct ChaseRun {
  std::string source;  // as the operator named it
  std::string offset;  // "HH:MM:SS:FF"
  std::vector<ChaseMark> marks;
  // Frames to the lock, dropouts, jumps and the chase error (show clock minus timecode at each
  // locked frame's edge, by size), as the journal's summary gives them.
  journal::TimecodeSummary figures;
};

// A cue the player passed over without firing, by its index in RehearsalRun::cues.
struct SkippedCue {
  size_t index = 0;
  std::string reason;  // "before_start", "timecode_jump"
};

struct RehearsalRun {
  std::vector<devices::CueRecord> cues;  // the whole scenario, sorted by time
  int32_t fromMs = 0;
  bool autonomous = false;
  std::vector<SentFrame> sent;
  // The in-process bench tells when each console fired; a real line does not.
  bool fireLogKnown = false;
  std::vector<sim::FireEntry> fireLog;
  uint64_t showStartUs = 0;  // bench time at which the show clock stood at fromMs
  ShowEnd end = ShowEnd::Finished;
  // Stop frames the converter had not taken when the command ended.
  bool stopUndelivered = false;
  // Consoles talked to with repeated exchanges: they hear each fire command up to three times, and
  // those copies are one firing, not a double.
  std::vector<int> thriceHeardConsoles;
  // Channels the bench has as not connected, as (console, wire channel): a console fires into the
  // open circuit and nothing lights.
  std::vector<std::pair<int, int>> openChannels;
  // A chased show: the chase, and the cues it skipped (a skipped cue that fires is unasked).
  std::optional<ChaseRun> chase;
  std::vector<SkippedCue> skipped;
};

struct RehearsalRow {
  int line = 0;  // in the scenario file
  int32_t timeMs = 0;
  int console = 0;
  std::string cue;                // "channel 3", "motion LT"
  std::optional<double> sentMs;   // show time the fire frame went out
  std::optional<double> firedMs;  // show time the console fired (bench only)
  std::optional<double> latenessMs;
  bool openCircuit = false;  // fired into a channel with nothing connected: counted as not fired
  std::string skipped;       // why the player passed it over (a chased show); empty: it was played
};

// A firing, or a fire frame, that no cue asked for.
struct UnaskedFire {
  int console = 0;
  std::string what;
  double showMs = 0;
  bool sentOnly = false;  // a frame that went out (the console's firing is not known)
};

struct RehearsalReport {
  std::vector<RehearsalRow> rows;
  bool autonomous = false;
  // Whether the report knows which cues fired: on the bench from its fire log; on a real line only
  // in direct launch, from the fire frames sent.
  bool firingObservable = true;
  std::string latenessSource;  // "the bench's fire log", "the fire frames sent", or empty
  int fired = 0;
  int notFired = 0;
  double p50 = 0, p99 = 0, max = 0;
  std::vector<UnaskedFire> unasked;
  // Of those, the firings of a target that had fired before: it fired more often than asked.
  std::vector<UnaskedFire> doubles;
  int skipped = 0;
  std::optional<ChaseRun> chase;
  ShowEnd end = ShowEnd::Finished;
  bool stopUndelivered = false;

  // 0 when the show ran to its end, every cue fired (as far as can be seen) but those the chase
  // skipped, nothing else fired and no target fired twice; otherwise 1.
  int ExitStatus() const;
};

RehearsalReport BuildRehearsalReport(const RehearsalRun& run);

// The p-th percentile (0..100, nearest rank) of the values' sizes; 0 for none.
double SizePercentile(const std::vector<double>& values, double p);

// The report for the terminal: the header line is the caller's.
std::string RehearsalText(const RehearsalReport& report);
// One cue's row and the summary, as the JSON document carries them.
Json RehearsalRowJson(const RehearsalRow& row);
Json RehearsalSummaryJson(const RehearsalReport& report);
// The chase's part of the JSON document: source, offset, lock, dropouts, jumps, skipped cues, error.
Json RehearsalChaseJson(const RehearsalReport& report);

// "ran to its end", "stopped by the operator", "stopped by a stop broadcast on the bus", "stopped:
// the converter was lost", and for a chased show the timecode's own two.
const char* ShowEndText(ShowEnd end);

}  // namespace fd::cli
