#pragma once

#include <cstdint>
#include <string>

namespace fd::support {

// Decimal text, "-" for negatives, no padding.
std::string NumberText(int64_t value);
// The standard integer conversion: optional blanks and sign, decimal, or hexadecimal with "$" or
// "0x". ok is false (and the result 0) when the text is not a 32-bit integer.
int32_t StrToIntDef(const std::string& text, int32_t fallback, bool* ok = nullptr);
int32_t IntOrZero(const std::string& text);
// Hexadecimal digits from the right; a character outside 0-9A-F counts as -1; 32-bit weight.
int64_t HexValue(const std::string& text);
// Truncation that treats a hair below a whole number as that number.
int64_t TruncTol(long double x);
// Rounding half away from zero after rounding to four decimals.
int64_t RoundHalfAway(long double x);

}  // namespace fd::support
