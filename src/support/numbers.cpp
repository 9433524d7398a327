#include "support/numbers.h"

#include <cmath>
#include <limits>

namespace fd::support {

std::string NumberText(int64_t value) { return std::to_string(value); }

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Parses the whole text or reports failure; the value is the 32-bit result.
bool ParseInt32(const std::string& text, int32_t& value) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && text[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < n && text[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i == n) return false;  // no digits at all

  // Magnitudes are gathered in 64 bits and checked after every digit, so nothing overflows.
  uint64_t magnitude = 0;
  for (; i < n; ++i) {
    const char c = text[i];
    if (hex) {
      const int d = HexDigit(c);
      if (d < 0) return false;
      magnitude = magnitude * 16 + static_cast<uint64_t>(d);
      if (magnitude > 0xFFFFFFFFull) return false;
    } else {
      if (c < '0' || c > '9') return false;
      magnitude = magnitude * 10 + static_cast<uint64_t>(c - '0');
      if (magnitude > 0x80000000ull) return false;
    }
  }

  if (hex) {
    // A hexadecimal text names a 32-bit pattern; the sign applies to the pattern's signed value.
    const auto pattern = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
    value = negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(pattern)) : pattern;
    return true;
  }
  if (negative) {
    value = static_cast<int32_t>(-static_cast<int64_t>(magnitude));
    return true;
  }
  if (magnitude > 0x7FFFFFFFull) return false;
  value = static_cast<int32_t>(magnitude);
  return true;
}

int64_t ClampToInt64(long double x) {
  // 2^63 is exact in long double; everything at or beyond it does not fit.
  constexpr long double kLimit = 9223372036854775808.0L;
  if (std::isnan(x)) return 0;
  if (x >= kLimit) return std::numeric_limits<int64_t>::max();
  if (x < -kLimit) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(x);
}

}  // namespace

int32_t StrToIntDef(const std::string& text, int32_t fallback, bool* ok) {
  int32_t value = 0;
  const bool parsed = ParseInt32(text, value);
  if (ok) *ok = parsed;
  return parsed ? value : fallback;
}

int32_t IntOrZero(const std::string& text) { return StrToIntDef(text, 0); }

int64_t HexValue(const std::string& text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  int64_t result = 0;
  uint32_t weight = 1;  // wraps to 0 after the eighth character from the right
  for (auto it = text.rbegin(); it != text.rend(); ++it) {
    char c = *it;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    int32_t digit = -1;
    for (int k = 0; k < 16; ++k) {
      if (kDigits[k] == c) {
        digit = k;
        break;
      }
    }
    // The product is a signed 32-bit number: an eighth digit of 8 or more comes out negative.
    const auto product = static_cast<int32_t>(static_cast<uint32_t>(digit) * weight);
    result += product;
    weight *= 16;
  }
  return result;
}

int64_t TruncTol(long double x) {
  if (x >= 0) return ClampToInt64(std::trunc(x + 0.00001L));
  return ClampToInt64(std::trunc(x - 0.00001L));
}

int64_t RoundHalfAway(long double x) {
  if (std::isnan(x)) return 0;
  // First to four decimals, ties to even (the default rounding mode of the FPU).
  const long double n = std::nearbyint(x * 10000.0L);
  // Beyond the 64-bit range of the four-decimal step long double still holds the fraction.
  if (std::isinf(n) || std::fabs(n) >= 9223372036854775808.0L) return ClampToInt64(std::round(x));
  const long double y = static_cast<long double>(static_cast<int64_t>(n)) / 10000.0L;
  const long double fraction = y - std::trunc(y);
  if (y >= 0) return TruncTol(y) + (fraction >= 0.5L ? 1 : 0);
  return TruncTol(y) - (-fraction >= 0.5L ? 1 : 0);
}

}  // namespace fd::support
