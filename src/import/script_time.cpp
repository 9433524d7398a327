#include "import/script_time.h"

#include <array>
#include <cstddef>

#include "import/field_text.h"

namespace fd::import {

namespace {

// Beyond this a time no longer fits the scenario's 32-bit milliseconds.
constexpr int64_t kLimitMs = int64_t{24} * 24 * 3600 * 1000;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// One or more digits, at most nine (a longer run is no time anyone writes).
bool ReadDigits(std::string_view text, int64_t& value) {
  if (text.empty() || text.size() > 9) return false;
  value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

// "5", "05", "125" after the decimal mark as thousandths of the unit, rounded half up.
bool ReadFraction(std::string_view text, int64_t& thousandths) {
  if (text.empty()) return false;
  thousandths = 0;
  int64_t scale = 100;
  bool roundUp = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return false;
    if (i < 3) {
      thousandths += (text[i] - '0') * scale;
      scale /= 10;
    } else if (i == 3) {
      roundUp = text[i] >= '5';
    }
  }
  if (roundUp) ++thousandths;
  return true;
}

// "12", "12.5", "12,5" in thousandths of a unit; sign handled by the caller.
bool ReadDecimal(std::string_view text, int64_t& thousandths) {
  const size_t mark = text.find_first_of(".,");
  int64_t whole = 0, fraction = 0;
  if (mark == std::string_view::npos) {
    if (!ReadDigits(text, whole)) return false;
  } else {
    // "12." and ".5" are both what spreadsheets write.
    const std::string_view wholeText = text.substr(0, mark);
    if (!wholeText.empty() && !ReadDigits(wholeText, whole)) return false;
    const std::string_view fractionText = text.substr(mark + 1);
    if (wholeText.empty() && fractionText.empty()) return false;
    if (!fractionText.empty() && !ReadFraction(fractionText, fraction)) return false;
  }
  thousandths = whole * 1000 + fraction;
  return true;
}

// Built piece by piece: GCC 12 at -O3 takes "\"" + temporary for an overlapping copy.
std::string Quoted(std::string_view text) {
  std::string quoted(1, '"');
  quoted += QuoteForReason(text);
  quoted += '"';
  return quoted;
}

bool Timecode(std::string_view text, const std::array<int64_t, 4>& parts, const TimeRules& rules, int64_t& ms,
              std::string& reason) {
  if (rules.Fps == FrameRate::Unknown) {
    reason = std::string("the time ") + Quoted(text) + " is a timecode: give its frame rate with --fps";
    return false;
  }
  const int64_t h = parts[0], m = parts[1], s = parts[2], f = parts[3];
  const int fps = timecode::NominalFrames(rules.Fps);
  if (f >= fps) {
    reason = std::string("the timecode ") + Quoted(text) + " counts more frames than a second has at " +
             (rules.Fps == FrameRate::Fps2997Drop ? std::string("29.97") : std::to_string(fps)) + " fps";
    return false;
  }
  const int64_t seconds = h * 3600 + m * 60 + s;
  if (rules.Fps != FrameRate::Fps2997Drop) {
    ms = seconds * 1000 + (f * 1000 * 2 + fps) / (2 * fps);
    return true;
  }
  // Drop frame: labels 00 and 01 are skipped at the start of every minute but each tenth, so the
  // label count runs with the 30000/1001 frames a second really has.
  if (s == 0 && f < 2 && m % 10 != 0) {
    reason = std::string("the timecode ") + Quoted(text) + " does not exist in 29.97 drop frame";
    return false;
  }
  const int64_t minutes = h * 60 + m;
  const int64_t frame = seconds * 30 + f - 2 * (minutes - minutes / 10);
  ms = (frame * 1001 * 2 + 30) / 60;
  return true;
}

}  // namespace

std::optional<FrameRate> FrameRateFromText(std::string_view text) {
  if (text == "24") return FrameRate::Fps24;
  if (text == "25") return FrameRate::Fps25;
  if (text == "29.97") return FrameRate::Fps2997Drop;
  if (text == "30") return FrameRate::Fps30;
  return std::nullopt;
}

bool ParseScriptTime(std::string_view raw, const TimeRules& rules, int64_t& ms, std::string& reason) {
  const std::string_view text = TrimBlanks(raw);
  const auto notATime = [&] {
    reason = std::string("the time ") + Quoted(text) + " is not a time";
    return false;
  };
  if (text.empty()) {
    reason = "the time is empty";
    return false;
  }

  int64_t value = 0;
  if (text.find_first_of(":;") == std::string_view::npos) {
    // A plain number: seconds, or milliseconds when the design says so.
    const bool negative = text.front() == '-';
    const std::string_view digits = negative || text.front() == '+' ? text.substr(1) : text;
    int64_t thousandths = 0;
    if (!ReadDecimal(digits, thousandths)) return notATime();
    value = rules.Unit == TimeUnit::Seconds ? thousandths : (thousandths + 500) / 1000;
    if (negative) value = -value;
  } else {
    // Clock parts: M:SS, H:MM:SS, each maybe with a fraction, or HH:MM:SS:FF.
    std::array<std::string_view, 4> pieces;
    size_t count = 0, start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
      if (i == text.size() || text[i] == ':' || text[i] == ';') {
        if (count == pieces.size()) return notATime();
        pieces[count++] = text.substr(start, i - start);
        start = i + 1;
      }
    }
    // Only the last part may carry a fraction, and a timecode has none.
    std::array<int64_t, 4> parts{};
    int64_t fraction = 0;
    for (size_t i = 0; i < count; ++i) {
      std::string_view piece = pieces[i];
      if (i + 1 == count && count < 4) {
        const size_t mark = piece.find_first_of(".,");
        if (mark != std::string_view::npos) {
          if (!ReadFraction(piece.substr(mark + 1), fraction)) return notATime();
          piece = piece.substr(0, mark);
        }
      }
      if (!ReadDigits(piece, parts[i])) return notATime();
      if (i > 0 && parts[i] > 59 && !(count == 4 && i == 3)) return notATime();
    }
    if (count == 4) {
      if (!Timecode(text, parts, rules, value, reason)) return false;
    } else {
      int64_t seconds = 0;
      for (size_t i = 0; i < count; ++i) seconds = seconds * 60 + parts[i];
      value = seconds * 1000 + fraction;
    }
  }
  if (value >= kLimitMs || value <= -kLimitMs) {
    reason = std::string("the time ") + Quoted(text) + " is beyond 24 days";
    return false;
  }
  ms = value;
  return true;
}

}  // namespace fd::import
