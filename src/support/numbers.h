#pragma once

#include <cstdint>
#include <string>

namespace fd::support {

// Decimal text, "-" for negatives, no padding.
std::string NumberText(int64_t value);
// The standard integer conversion: optional blanks and sign, decimal, or hexadecimal with "$" or
// "0x". ok is false (and the result 0) when the text is not a 32-bit integer.
// Decimal must lie in -2147483648..2147483647. Hexadecimal is read as a 32-bit pattern, as the
// runtime always did: "$FFFFFFFF" is -1, "$100000000" is not an integer. Blanks are spaces, and
// only in front; anything after the digits (blanks, a NUL, letters) makes the text not an integer.
int32_t StrToIntDef(const std::string& text, int32_t fallback, bool* ok = nullptr);
int32_t IntOrZero(const std::string& text);
// Hexadecimal digits from the right; a character outside 0-9A-F counts as -1; 32-bit weight.
int64_t HexValue(const std::string& text);
// Truncation that treats a hair below a whole number as that number.
// NaN gives 0; values beyond the 64-bit range give the nearest end of the range.
int64_t TruncTol(long double x);
// Rounding half away from zero after rounding to four decimals.
// NaN gives 0; values beyond the 64-bit range give the nearest end of the range.
int64_t RoundHalfAway(long double x);

}  // namespace fd::support
