#include "show/scenario_line.h"

#include <string>

#include "show/scenario_time.h"
#include "support/cp1251.h"
#include "support/numbers.h"
#include "support/tw_strings.h"

namespace fd::show {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Windows-1251 text to UTF-8; plain ASCII is the same in both and needs no converter.
std::string ToUtf8(std::string_view raw) {
  for (char c : raw) {
    if (static_cast<unsigned char>(c) >= 0x80) return support::Cp1251ToUtf8(std::string(raw));
  }
  return std::string(raw);
}

bool ReadInt(std::string_view text, int32_t& value) {
  bool ok = false;
  int32_t v = support::StrToIntDef(std::string(text), 0, &ok);
  if (!ok) return false;
  value = v;
  return true;
}

bool EqualsNoCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    char c = a[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != b[i]) return false;
  }
  return i == a.size() && b[i] == '\0';
}

// The text after "#": command word, then parameters, separated by "#" (empty pieces count).
bool ParseMotion(std::string_view text, devices::CueRecord& cue) {
  support::TTWStrings pieces(std::string(text), '#');
  const std::string& word = pieces[0];
  if (EqualsNoCase(word, "LT") || EqualsNoCase(word, "RT")) {
    cue.CueKind = EqualsNoCase(word, "LT") ? devices::MotionLT : devices::MotionRT;
    cue.Param1 = 255;
    cue.Param2 = 255;
    // The duration is a time field in tenths of a second; like every time it never fails.
    if (pieces.Count() >= 2) cue.Param1 = ParseTime(pieces[1]) / 100;
    if (pieces.Count() >= 3 && !ParseLevel(pieces[2], cue.Param2)) return false;
    return true;
  }
  if (EqualsNoCase(word, "C") || EqualsNoCase(word, "L") || EqualsNoCase(word, "R")) {
    cue.CueKind = EqualsNoCase(word, "C")   ? devices::MotionC
                  : EqualsNoCase(word, "L") ? devices::MotionL
                                            : devices::MotionR;
    cue.Param1 = 255;
    cue.Param2 = 0;
    if (pieces.Count() >= 2 && !ParseLevel(pieces[1], cue.Param1)) return false;
    return true;
  }
  // Any other word (or none) would be a cue that fires nothing defined: refuse the line.
  return false;
}

}  // namespace

std::string_view LineFields::NextToken() {
  size_t i = 0;
  while (i < rest_.size() && IsBlank(rest_[i])) ++i;
  size_t start = i;
  while (i < rest_.size() && !IsBlank(rest_[i])) ++i;
  std::string_view token = rest_.substr(start, i - start);
  if (i < rest_.size()) ++i;  // the separator goes with the field
  rest_.remove_prefix(i);
  return token;
}

std::string_view LineFields::Comment() {
  size_t i = 0;
  while (i < rest_.size() && IsBlank(rest_[i])) ++i;
  size_t end = rest_.find('\t', i);
  if (end == std::string_view::npos) end = rest_.size();
  std::string_view comment = rest_.substr(i, end - i);
  rest_ = {};
  return comment;
}

bool ParseCueLine(std::string_view line, devices::CueRecord& cue) {
  cue = devices::CueRecord{};
  LineFields fields(line);

  std::string_view time = fields.NextToken();
  cue.TimeText = ToUtf8(time.substr(0, kMaxTimeText));
  cue.TimeMs = ParseTime(time);

  std::string_view console = fields.NextToken();
  if (console.empty() || !ReadInt(console, cue.Console)) return false;

  std::string_view target = fields.NextToken();
  if (target.empty()) return false;
  if (target.front() == '#') {
    if (!ParseMotion(target.substr(1), cue)) return false;
    // A motion cue has no channel; -1 lies outside every channel table, so nothing that looks at
    // channels by mistake can fire channel 1 for it.
    cue.Channel = -1;
  } else {
    int32_t number = 0;
    if (!ReadInt(target, number)) return false;
    // Wraps for the one number that has no predecessor instead of overflowing; such a channel is
    // outside every table anyway.
    cue.Channel = static_cast<int32_t>(static_cast<uint32_t>(number) - 1u);
    cue.CueKind = devices::ChannelCue;
  }

  cue.Comment = ToUtf8(fields.Comment().substr(0, kMaxComment));
  return true;
}

}  // namespace fd::show
