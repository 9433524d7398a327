#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fd::journal {

// What the journal says about a show, one JSON object a line. Every event carries "event" (its
// kind) and "wall" (UTC, milliseconds); show times are milliseconds from the scenario's start.

struct ConsoleState {
  int32_t id = 0;
  std::string firmware;  // as the window shows it ("151")
  double voltage = 0;
  int32_t linkQuality = -1;  // percent; -1 unknown
};

struct JournalHeader {
  // What the journal records: "show", or the work done on the consoles: "write", "verify".
  std::string kind = "show";
  std::string programVersion;
  std::string scenarioPath;
  std::string scenarioSha256;
  std::string soundtrackPath;  // empty: none
  std::string soundtrackSha256;
  std::string launchMode;  // "direct" or "autonomous"
  int32_t startMs = 0;
  std::vector<ConsoleState> consoles;
  // The last scenario write and verify of this run: result text and the scenario's digest; empty
  // when there was none.
  std::string lastWriteResult;
  std::string lastWriteSha256;
  std::string lastVerifyResult;
  std::string lastVerifySha256;
  // The journal of the show this one carries on from (a resume after a crash, or a start at the
  // very point where the last show stopped); empty for a show of its own.
  std::string resumedFrom;
  // A show chasing timecode: the source as the operator named it and the offset ("HH:MM:SS:FF",
  // the timecode of show time 0); empty for a show on its own clock.
  std::string timecodeSource;
  std::string timecodeOffset;
};

// Which cue an event is about: its scenario line, what it fires and when it was planned.
struct CueId {
  int32_t line = 0;  // scenario line, from 1
  int32_t console = 0;
  int32_t channel = -1;  // from 1 as the scenario writes it; -1 for a motion cue
  int32_t motion = -1;   // the motion command's kind (50..54); -1 for a channel cue
  int32_t plannedMs = 0;

  bool operator==(const CueId&) const = default;
};

// A cue handed to the bus (direct launch) or followed while the consoles play it themselves
// (autonomous launch).
struct CueEvent : CueId {
  int32_t showMs = 0;  // the show clock when it was handed over
  bool followed = false;
  int32_t sentMs = -1;  // the show clock once the converter took its frame; -1 unknown
};

// TimecodeJump: the chased timecode jumped forward in autonomous launch (see the player).
enum class StopSource { Operator, BusStop, EndOfScenario, Converter, TimecodeJump };

const char* StopSourceName(StopSource source);
// Now, in UTC to the millisecond, as every event's "wall" gives it.
std::string WallClockText();

std::string HeaderLine(const JournalHeader& header);
std::string CueLine(const CueEvent& cue);
// The cue of a scenario line has gone to the converter, at this show time (after its cue_sent).
std::string CueOutLine(int32_t line, int32_t sentMs);
std::string StopLine(StopSource source, int32_t showMs);
std::string ModeLine(int mode);
std::string SoundtrackLine(bool playing, int32_t showMs);
std::string ConverterLine(bool lost);
std::string CloseLine(int32_t showMs, int64_t cuesSent);

// A cue the show passed over without firing, with why: "before_start" (the chased timecode was
// already past it when the show started) or "timecode_jump" (the timecode jumped over it).
std::string CueSkippedLine(const CueEvent& cue, const std::string& reason);
// The chased timecode: locked at a rate ("25", "29.97df"), lost, back, and jumped.
std::string TimecodeLockLine(int32_t showMs, const std::string& rate);
std::string TimecodeDropoutLine(int32_t showMs);
std::string TimecodeReturnLine(int32_t showMs);
std::string TimecodeJumpLine(int32_t showMs, int32_t fromMs, int32_t toMs);

// How the chase went, written once before the journal closes: the frames to the first lock (-1:
// none), the dropouts and jumps, and the chase error (show clock minus timecode at each locked
// frame's edge, by its size) over the samples taken.
struct TimecodeSummary {
  int lockFrames = -1;
  int dropouts = 0;
  int jumps = 0;
  int64_t errorSamples = 0;
  double errorP50Ms = 0;
  double errorP99Ms = 0;
  double errorMaxMs = 0;
};
std::string TimecodeSummaryLine(const TimecodeSummary& summary);

// The file name of a new journal: "YYYY-MM-DD_HH-MM-SS_<scenario>.jsonl", local time, with the
// scenario's name (no folder, no extension), separators, spaces and control characters made "_".
// A label ("write") follows the scenario's name, so that a show's journal is told from the others
// at a glance.
std::string JournalFileName(int64_t unixSeconds, const std::string& scenarioPath, const std::string& label = {});

}  // namespace fd::journal
