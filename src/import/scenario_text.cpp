#include "import/scenario_text.h"

#include <cstdio>

#include "show/scenario_line.h"
#include "support/cp1251.h"

namespace fd::import {

namespace {

constexpr int32_t kDayMs = 24 * 3600 * 1000;

int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The percentage p that the loader turns into this level (p x 255 / 100, truncated).
int64_t LevelPercent(int32_t level) {
  const int64_t guess = int64_t{level} * 100 / 255;
  for (int64_t p = guess - 1; p <= guess + 2; ++p)
    if (p * 255 / 100 == level) return p;
  return guess;
}

// Tenths of a second as the loader's duration piece: the whole part rounded down, so that the
// fraction it adds gives the same tenths for negative durations too.
std::string DurationText(int32_t tenths) {
  const int64_t whole = FloorDiv(tenths, 10);
  return std::to_string(whole) + "." + std::to_string(tenths - whole * 10);
}

bool IsAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

size_t CountQuestionMarks(std::string_view text) {
  size_t n = 0;
  for (char c : text) n += c == '?';
  return n;
}

}  // namespace

std::string ScenarioTimeText(int32_t ms) {
  if (ms >= 0 && ms < kDayMs) {
    // "H:MM:SS.mmm" as the reports write it, without a formatted print for each of a million cues.
    char text[16];
    char* p = text;
    const int32_t hours = ms / 3600000;
    if (hours >= 10) *p++ = static_cast<char>('0' + hours / 10);
    *p++ = static_cast<char>('0' + hours % 10);
    const int32_t parts[3] = {ms / 60000 % 60, ms / 1000 % 60, ms % 1000};
    *p++ = ':';
    *p++ = static_cast<char>('0' + parts[0] / 10);
    *p++ = static_cast<char>('0' + parts[0] % 10);
    *p++ = ':';
    *p++ = static_cast<char>('0' + parts[1] / 10);
    *p++ = static_cast<char>('0' + parts[1] % 10);
    *p++ = '.';
    *p++ = static_cast<char>('0' + parts[2] / 100);
    *p++ = static_cast<char>('0' + parts[2] / 10 % 10);
    *p++ = static_cast<char>('0' + parts[2] % 10);
    return std::string(text, static_cast<size_t>(p - text));
  }
  const int64_t whole = FloorDiv(ms, 1000);
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(whole),
                static_cast<long long>(ms - whole * 1000));
  return text;
}

std::string ScenarioTarget(const devices::CueRecord& cue) {
  switch (cue.CueKind) {
    case devices::MotionC:
    case devices::MotionL:
    case devices::MotionR: {
      const char* word = cue.CueKind == devices::MotionC ? "#C#" : cue.CueKind == devices::MotionL ? "#L#" : "#R#";
      return word + std::to_string(LevelPercent(cue.Param1));
    }
    case devices::MotionLT:
    case devices::MotionRT:
      return std::string(cue.CueKind == devices::MotionLT ? "#LT#" : "#RT#") + DurationText(cue.Param1) + "#" +
             std::to_string(LevelPercent(cue.Param2));
    default:
      return std::to_string(static_cast<int64_t>(cue.Channel) + 1);
  }
}

ScenarioComment MakeScenarioComment(std::string_view utf8) {
  ScenarioComment comment;
  // A line break or TAB would end the comment (or the cue) in the file; the loader skips blanks in
  // front of it anyway.
  const auto control = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; };
  while (!utf8.empty() && (utf8.front() == ' ' || control(utf8.front()))) utf8.remove_prefix(1);
  // Most comments are plain ASCII: the same bytes in both encodings, no converter needed.
  if (IsAscii(utf8)) {
    comment.Utf8.assign(utf8.substr(0, show::kMaxComment));
    for (char& c : comment.Utf8)
      if (control(c)) c = ' ';
    return comment;
  }
  std::string line(utf8);
  for (char& c : line)
    if (control(c)) c = ' ';
  std::string cp1251 = support::Utf8ToCp1251(line);
  const size_t before = CountQuestionMarks(line), after = CountQuestionMarks(cp1251);
  comment.Replaced = after > before ? after - before : 0;
  if (cp1251.size() > show::kMaxComment) cp1251.resize(show::kMaxComment);
  comment.Utf8 = support::Cp1251ToUtf8(cp1251);
  return comment;
}

void AppendScenarioLine(const devices::CueRecord& cue, std::string& out) {
  out += cue.TimeText;
  out += '\t';
  out += std::to_string(cue.Console);
  out += '\t';
  out += ScenarioTarget(cue);
  if (!cue.Comment.empty()) {
    out += '\t';
    out += IsAscii(cue.Comment) ? cue.Comment : support::Utf8ToCp1251(cue.Comment);
  }
  out += "\r\n";
}

}  // namespace fd::import

namespace fd::import {

std::string ScenarioFileBytes(const std::vector<devices::CueRecord>& cues) {
  std::string out;
  out.reserve(cues.size() * 40);
  for (const devices::CueRecord& cue : cues) AppendScenarioLine(cue, out);
  return out;
}

}  // namespace fd::import
