#include "show/scenario_time.h"

#include <limits>
#include <string>

#include "support/numbers.h"

namespace fd::show {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool FitsInt32(int64_t v) {
  return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
}

// One part of a time of day: one or more decimal digits, value up to limit.
bool ReadClockPart(std::string_view text, int limit, int& value) {
  if (text.empty()) return false;
  int v = 0;
  for (char c : text) {
    if (!IsDigit(c)) return false;
    v = v * 10 + (c - '0');
    if (v > limit) return false;  // also keeps long digit runs from overflowing
  }
  value = v;
  return true;
}

// "m:s" is read as the time of day 00:m:s, "h:m:s" as h:m:s; three or more colons never parse.
bool ReadTimeOfDay(std::string_view text, int64_t& seconds) {
  std::string_view parts[3];
  int count = 0;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == ':') {
      if (count == 3) return false;
      parts[count++] = text.substr(start, i - start);
      start = i + 1;
    }
  }
  int h = 0, m = 0, s = 0;
  if (count == 2) {
    if (!ReadClockPart(parts[0], 59, m) || !ReadClockPart(parts[1], 59, s)) return false;
  } else if (count == 3) {
    if (!ReadClockPart(parts[0], 23, h) || !ReadClockPart(parts[1], 59, m) || !ReadClockPart(parts[2], 59, s))
      return false;
  } else {
    return false;
  }
  seconds = int64_t{h} * 3600 + int64_t{m} * 60 + s;
  return true;
}

// The whole part in milliseconds; false when it cannot be read.
bool ReadWholePart(std::string_view whole, int64_t& ms) {
  if (whole.find(':') == std::string_view::npos) {
    bool ok = false;
    int32_t seconds = support::StrToIntDef(std::string(whole), 0, &ok);
    if (!ok) return false;
    ms = int64_t{seconds} * 1000;
    return true;
  }
  int64_t seconds = 0;
  if (!ReadTimeOfDay(whole, seconds)) return false;
  ms = seconds * 1000;
  return true;
}

}  // namespace

int32_t ParseTime(std::string_view text) {
  std::string_view whole = text;
  std::string_view fraction;
  size_t dot = text.find('.');
  if (dot != std::string_view::npos) {
    whole = text.substr(0, dot);
    fraction = text.substr(dot + 1);
  }

  int64_t ms = 0;
  if (!ReadWholePart(whole, ms)) return 0;

  // Tenths, hundredths, thousandths; a bad digit ends the fraction there, a bad first digit spoils
  // the whole time. Digits after the third are ignored.
  static constexpr int kWeights[3] = {100, 10, 1};
  for (size_t i = 0; i < fraction.size() && i < 3; ++i) {
    if (!IsDigit(fraction[i])) {
      if (i == 0) return 0;
      break;
    }
    ms += (fraction[i] - '0') * kWeights[i];
  }

  // More than 24 days either way is not a show time; it must not wrap into some other time.
  if (!FitsInt32(ms)) return 0;
  return static_cast<int32_t>(ms);
}

bool ParseLevel(std::string_view text, int32_t& level) {
  bool ok = false;
  int32_t percent = support::StrToIntDef(std::string(text), 0, &ok);
  if (!ok) return false;
  int64_t value = int64_t{percent} * 255 / 100;  // C++ division truncates toward zero
  if (!FitsInt32(value)) return false;
  level = static_cast<int32_t>(value);
  return true;
}

}  // namespace fd::show
