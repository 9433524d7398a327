#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "timecode/timecode_frame.h"

namespace fd::import {

// The timecode rates a script may count in (29.97 is drop-frame); Unknown: none given.
using FrameRate = timecode::FrameRate;

// How a plain number in the time column is meant.
enum class TimeUnit { Seconds, Milliseconds };

struct TimeRules {
  FrameRate Fps = FrameRate::Unknown;
  TimeUnit Unit = TimeUnit::Seconds;
};

// "24", "25", "29.97", "30"; nullopt for anything else.
std::optional<FrameRate> FrameRateFromText(std::string_view text);

// A time as design programs write it, in milliseconds: seconds with a point or a comma ("12.5",
// "12,5"), milliseconds (TimeUnit::Milliseconds), H:MM:SS or M:SS with an optional fraction, and
// HH:MM:SS:FF (or HH:MM:SS;FF) timecode at rules.Fps. Digits past the millisecond are rounded.
// On failure ms is untouched and reason says why ("the time \"x\" is not a time").
bool ParseScriptTime(std::string_view text, const TimeRules& rules, int64_t& ms, std::string& reason);

}  // namespace fd::import
