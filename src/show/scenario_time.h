#pragma once

#include <cstdint>
#include <string_view>

namespace fd::show {

// Milliseconds of a scenario time field: "90" (seconds), "1:30" (minutes:seconds), "0:01:30"
// (hours:minutes:seconds), each with an optional fraction ".5", ".25", ".125". Reading a time never
// fails: a whole part that cannot be read gives 0, a fraction keeps the digits that could be read
// (a bad first digit gives 0 for the whole time). A time that is not a 32-bit number of
// milliseconds also reads as 0.
int32_t ParseTime(std::string_view text);

// A level written as an integer percentage p, stored as p x 255 / 100 truncated toward zero and not
// clamped (200 gives 510). False when the text is not an integer or the level does not fit 32 bits.
bool ParseLevel(std::string_view text, int32_t& level);

}  // namespace fd::show
