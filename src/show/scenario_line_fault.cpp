#include "show/scenario_line_fault.h"

#include "show/scenario_line.h"
#include "show/scenario_time.h"
#include "support/numbers.h"

namespace fd::show {

namespace {

constexpr size_t kQuotedToken = 40;

std::string Quoted(std::string_view token) {
  // Appended piece by piece: GCC 12 at -O3 takes "\"" + std::string(...) for an overlapping copy.
  std::string quoted(1, '"');
  quoted.append(token.substr(0, kQuotedToken));
  quoted.append(token.size() <= kQuotedToken ? "\"" : "...\"");
  return quoted;
}

bool IsInteger(std::string_view text) {
  bool ok = false;
  support::StrToIntDef(std::string(text), 0, &ok);
  return ok;
}

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

// The same pieces the loader reads after "#": word, then parameters split at every "#".
std::string MotionFault(std::string_view text) {
  const size_t hash = text.find('#');
  const std::string word = Upper(text.substr(0, hash));
  std::string_view rest = hash == std::string_view::npos ? std::string_view{} : text.substr(hash + 1);
  size_t levelPiece = 0;
  if (word == "LT" || word == "RT") {
    levelPiece = 1;  // the duration is a time and never fails
  } else if (word != "C" && word != "L" && word != "R") {
    return "unknown motion word " + Quoted(word) + " (LT, RT, C, L or R)";
  }
  if (hash == std::string_view::npos) return {};
  for (size_t index = 0;; ++index) {
    const size_t next = rest.find('#');
    const std::string_view piece = rest.substr(0, next);
    int32_t level = 0;
    if (index == levelPiece && !ParseLevel(piece, level))
      return "the percentage " + Quoted(piece) + " is not a whole number that fits";
    if (next == std::string_view::npos || index >= levelPiece) break;
    rest.remove_prefix(next + 1);
  }
  return {};
}

bool AllDigits(std::string_view text) {
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// The reason, with a note when the time is unreadable as well: two faults on one line are often one
// shifted field.
std::string WithTime(std::string reason, std::string_view time) {
  if (reason.empty() || TimeReadsCleanly(time)) return reason;
  return reason + "; the time " + Quoted(time) + " does not read as a time either";
}

std::string FieldFault(std::string_view line) {
  LineFields fields(line);
  const std::string_view time = fields.NextToken();
  const std::string_view console = fields.NextToken();
  if (console.empty()) return "the console number is missing after the time " + Quoted(time);
  if (!IsInteger(console)) return "the console " + Quoted(console) + " is not a whole number";
  const std::string_view target = fields.NextToken();
  if (target.empty()) return "the channel (or #motion) is missing after the console";
  if (target.front() == '#') return MotionFault(target.substr(1));
  if (!IsInteger(target)) return "the channel " + Quoted(target) + " is not a whole number";
  return {};
}

}  // namespace

std::string CueLineFault(std::string_view line) {
  LineFields fields(line);
  return WithTime(FieldFault(line), fields.NextToken());
}

bool TimeReadsCleanly(std::string_view text) {
  const size_t dot = text.find('.');
  const std::string_view whole = text.substr(0, dot);
  if (dot != std::string_view::npos && !AllDigits(text.substr(dot + 1))) return false;
  size_t parts = 0;
  size_t start = 0;
  for (size_t i = 0; i <= whole.size(); ++i) {
    if (i < whole.size() && whole[i] != ':') continue;
    const std::string_view part = whole.substr(start, i - start);
    if (part.empty() || !AllDigits(part)) return false;
    ++parts;
    start = i + 1;
  }
  if (parts > 3) return false;
  // Clock parts past their range, and any time past 24 days, read as 0: only a time of zeros may.
  if (ParseTime(text) != 0) return true;
  return whole.find_first_not_of("0:") == std::string_view::npos;
}

}  // namespace fd::show
