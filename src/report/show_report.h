#pragma once

// What a show did, read back from its journal: every cue with its planned and sent time, the stops,
// the timecode's losses and jumps, the converter's, what is wrong with the journal itself, and a
// summary. Made from the journal alone (and the scenario, when it is still the one that played), so
// a rehearsal, a real show and a show cut short by a crash are reported the same way.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "journal/journal_reader.h"

namespace fd::report {

enum class CueStatus {
  Sent,        // handed to the bus (direct launch)
  Followed,    // followed while the console played it from its memory (autonomous launch)
  FromMemory,  // a motion cue in autonomous launch: the console plays it, the journal does not follow it
  Skipped,     // the journal says why it did not go
  NotSent,     // in the scenario, never in the journal
};

const char* CueStatusName(CueStatus status);

// A cue of the report: which cue, what became of it.
struct ReportCue : journal::CueId {
  std::optional<int32_t> showMs;  // when it was sent or followed
  std::optional<int32_t> sentMs;  // when the converter took its frame, where the journal says
  CueStatus status = CueStatus::Sent;
  std::string reason;  // why it was skipped or not sent

  // sent (or, not known, show) − planned, when it went.
  std::optional<int64_t> LatenessMs() const;
};

// "channel 12", "motion LT", "motion 57" for a kind the program does not know.
std::string CueWhatText(const ReportCue& cue);

struct ReportStop {
  std::string source;  // as the journal names it: "operator", "end_of_scenario", ...
  int32_t showMs = 0;
};

// A timecode event: "lock" (with its rate), "dropout", "return", "jump" (with where from and to).
struct TimecodeMark {
  std::string kind;
  int32_t showMs = 0;
  std::string rate;
  int32_t fromMs = 0;
  int32_t toMs = 0;
};

// The chase's own figures, as the journal's timecode_summary gives them.
using ChaseFigures = journal::TimecodeSummary;

struct ConverterChange {
  bool lost = false;
  std::string wall;  // UTC, as the journal gives it
};

// A span of show time without timecode: from a dropout to its return, or to the show's end.
struct DropoutSpan {
  int32_t fromMs = 0;
  int32_t toMs = 0;
  bool returned = false;
};

struct ReportSummary {
  int sent = 0;
  int followed = 0;
  int fromMemory = 0;
  int skipped = 0;
  int notSent = 0;
  // Over every cue that went (sent or followed); unset when none did.
  int latenessCount = 0;
  int64_t latenessP50 = 0;
  int64_t latenessP99 = 0;
  int64_t latenessMax = 0;
  std::string ended;  // how the show ended, one phrase
};

// The scenario's cues as the file holds them now, for the cues the journal never mentions.
using PlannedCue = journal::CueId;

struct ScenarioCheck {
  bool matched = false;          // the file is there and its digest is the journal's
  std::vector<PlannedCue> cues;  // when matched
  std::string note;              // when not matched: one line saying why (empty: no scenario named)
};

struct ShowReport {
  std::string journalPath;
  journal::JournalHeader header;
  std::string headerWall;   // when the journal began (UTC)
  std::string resumedFrom;  // the journal of the show this one resumed; empty: none
  std::string timecodeSource;
  std::string timecodeOffset;
  std::string scenarioNote;
  std::vector<ReportCue> cues;  // by planned time, in journal order among equal times
  std::vector<ReportStop> stops;
  std::vector<TimecodeMark> timecode;
  std::vector<DropoutSpan> dropouts;
  std::optional<ChaseFigures> chase;
  std::vector<ConverterChange> converter;
  std::vector<std::string> warnings;
  bool closed = false;
  int32_t endMs = 0;  // the last show time the journal knows
  ReportSummary summary;
};

inline constexpr const char* kTornTailWarning = "the journal ends mid-line: the program was cut off";
inline constexpr const char* kNoCloseWarning = "no closing event: the show was cut short";
inline constexpr const char* kNotSentReason = "the show stopped first";
inline constexpr const char* kBeforeStartReason = "before_start";

// The report of a show's journal; scenario: what CheckScenario found (nothing compared: default).
ShowReport BuildShowReport(const journal::ReadJournal& journal, const std::string& journalPath,
                           const ScenarioCheck& scenario = {});

// "1:02:03.450", negative with a "-".
std::string ShowTimeText(int64_t ms);

}  // namespace fd::report
