#include "import/row_to_cue.h"

#include <string_view>

#include "import/field_text.h"
#include "import/scenario_text.h"
#include "show/scenario_line.h"
#include "support/numbers.h"

namespace fd::import {

namespace {

constexpr int kFirstConsole = 1, kLastConsole = 199;
constexpr int kFirstChannel = 1, kLastChannel = 512;
// What a scenario's 32-bit milliseconds hold.
constexpr int64_t kMinMs = -2147483647 - int64_t{1}, kMaxMs = 2147483647;

// Built piece by piece: GCC 12 at -O3 takes "\"" + temporary for an overlapping copy.
std::string Quoted(std::string_view text) {
  std::string quoted(1, '"');
  quoted += QuoteForReason(text);
  quoted += '"';
  return quoted;
}

bool WholeNumber(std::string_view text, int32_t& value) {
  if (text.empty()) return false;
  bool ok = false;
  value = support::StrToIntDef(std::string(text), 0, &ok);
  return ok;
}

// "#LT#2.5#80" read by the scenario's own rules, so that the file says the same.
bool ReadMotion(std::string_view text, devices::CueRecord& cue) {
  if (text.find_first_of(" \t") != std::string_view::npos) return false;
  devices::CueRecord motion;
  std::string line = "0 1 ";
  line += text;
  if (!show::ParseCueLine(line, motion)) return false;
  cue.CueKind = motion.CueKind;
  cue.Param1 = motion.Param1;
  cue.Param2 = motion.Param2;
  cue.Channel = -1;
  return true;
}

}  // namespace

bool RowToCue(const CsvRecord& row, const ColumnMap& columns, const RowRules& rules, devices::CueRecord& cue,
              size_t& replaced, std::string& reason) {
  cue = devices::CueRecord{};
  cue.Line = row.Line;
  if (row.Unclosed) {
    reason = "a quoted field is not closed: it runs to the end of the file";
    return false;
  }
  std::string_view fields[kColumnCount];
  for (size_t k = 0; k < kColumnCount; ++k) {
    const int index = columns.Index[k];
    if (index < 0) continue;
    if (static_cast<size_t>(index) >= row.Fields.size()) {
      if (static_cast<Column>(k) == Column::Comment) continue;
      reason = std::string("the row has no ") + ColumnName(static_cast<Column>(k)) + " field (it has " +
               std::to_string(row.Fields.size()) + ")";
      return false;
    }
    fields[k] = row.Fields[static_cast<size_t>(index)];
  }

  int64_t ms = 0;
  if (!ParseScriptTime(fields[static_cast<size_t>(Column::Time)], rules.Time, ms, reason)) return false;
  const std::string_view timeText = TrimBlanks(fields[static_cast<size_t>(Column::Time)]);
  ms -= rules.OffsetMs;
  if (rules.HasOffset && ms < 0) {
    reason = std::string("the time ") + Quoted(timeText) + " comes before --time-offset";
    return false;
  }
  if (ms < kMinMs || ms > kMaxMs) {
    reason = std::string("the time ") + Quoted(timeText) + " is beyond 24 days";
    return false;
  }
  cue.TimeMs = static_cast<int32_t>(ms);
  cue.TimeText = ScenarioTimeText(cue.TimeMs);

  const std::string_view console = TrimBlanks(fields[static_cast<size_t>(Column::Console)]);
  if (console.empty()) {
    reason = "the console is empty";
    return false;
  }
  if (!WholeNumber(console, cue.Console)) {
    reason = std::string("the console ") + Quoted(console) + " is not a whole number";
    return false;
  }
  if (cue.Console < kFirstConsole || cue.Console > kLastConsole) {
    reason = std::string("the console ") + std::to_string(cue.Console) + " is not 1 to 199";
    return false;
  }

  const std::string_view target = TrimBlanks(fields[static_cast<size_t>(Column::Channel)]);
  if (target.empty()) {
    reason = "the channel is empty";
    return false;
  }
  if (target.front() == '#') {
    if (!ReadMotion(target, cue)) {
      reason = std::string("the motion command ") + Quoted(target) +
               " is not #C, #L, #R, #LT or #RT with whole-number levels";
      return false;
    }
  } else {
    int32_t channel = 0;
    if (!WholeNumber(target, channel)) {
      reason = std::string("the channel ") + Quoted(target) + " is not a whole number";
      return false;
    }
    if (channel < kFirstChannel || channel > kLastChannel) {
      reason = std::string("the channel ") + std::to_string(channel) + " is not 1 to 512";
      return false;
    }
    cue.Channel = channel - 1;
    cue.CueKind = devices::ChannelCue;
  }

  ScenarioComment comment = MakeScenarioComment(fields[static_cast<size_t>(Column::Comment)]);
  replaced += comment.Replaced;
  cue.Comment = std::move(comment.Utf8);
  return true;
}

}  // namespace fd::import
