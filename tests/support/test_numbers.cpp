#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/numbers.h"

namespace fd::support {
namespace {

constexpr int64_t kMax64 = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin64 = std::numeric_limits<int64_t>::min();

TEST(NumberText, DecimalWithMinusAndNoPadding) {
  EXPECT_EQ(NumberText(0), "0");
  EXPECT_EQ(NumberText(42), "42");
  EXPECT_EQ(NumberText(-7), "-7");
  EXPECT_EQ(NumberText(kMax64), "9223372036854775807");
  EXPECT_EQ(NumberText(kMin64), "-9223372036854775808");
}

TEST(StrToIntDef, AcceptsBlanksSignDecimalAndHexadecimal) {
  const std::pair<const char*, int32_t> cases[] = {
      {"0", 0},
      {"123", 123},
      {"007", 7},
      {"  -45", -45},
      {"+7", 7},
      {"-0", 0},
      {"$1A", 26},
      {"$1a", 26},
      {"0x1F", 31},
      {"0X1f", 31},
      {"-$10", -16},
      {"  +0x10", 16},
      {"$000000000001", 1},
      {"2147483647", 2147483647},
      {"-2147483648", std::numeric_limits<int32_t>::min()},
      {"$7FFFFFFF", 2147483647},
      // Hexadecimal names a 32-bit pattern.
      {"$FFFFFFFF", -1},
      {"$80000000", std::numeric_limits<int32_t>::min()},
      {"-$FFFFFFFF", 1},
  };
  for (const auto& [text, expected] : cases) {
    bool ok = false;
    EXPECT_EQ(StrToIntDef(text, 99, &ok), expected) << '"' << text << '"';
    EXPECT_TRUE(ok) << '"' << text << '"';
    EXPECT_EQ(IntOrZero(text), expected) << '"' << text << '"';
  }
}

TEST(StrToIntDef, EverythingElseIsNotAnInteger) {
  const std::string cases[] = {
      "",           " ",           "-",
      "+",          "$",           "0x",
      "-$",         "12 ",         "1 2",
      "12a",        "a12",         "- 5",
      "+-5",        "--5",         "1.5",
      "1e3",        "x1A",         "$1G",
      "0x1g",       "$ 1",         "00x1A",
      "2147483648", "-2147483649", "99999999999",
      "$100000000", "0x1FFFFFFFF", std::string("12\0", 3),  // a NUL does not end the text early
  };
  for (const auto& text : cases) {
    bool ok = true;
    EXPECT_EQ(StrToIntDef(text, 99, &ok), 99) << '"' << text << '"';
    EXPECT_FALSE(ok) << '"' << text << '"';
    EXPECT_EQ(IntOrZero(text), 0) << '"' << text << '"';
  }
}

TEST(HexValue, DigitsFromTheRightWithMinusOneForStrangers) {
  EXPECT_EQ(HexValue("1a"), 26);
  EXPECT_EQ(HexValue("1A"), 26);
  EXPECT_EQ(HexValue("G"), -1);
  EXPECT_EQ(HexValue(""), 0);
  EXPECT_EQ(HexValue("148"), 0x148);
  EXPECT_EQ(HexValue("36b"), 0x36B);
  EXPECT_EQ(HexValue("1G"), 16 - 1);
  EXPECT_EQ(HexValue("GG"), -16 - 1);
  EXPECT_EQ(HexValue(" 1"), -16 + 1);
}

TEST(HexValue, EighthDigitIsASigned32BitProductAndFurtherOnesCountNothing) {
  EXPECT_EQ(HexValue("FFFFFFF"), 0x0FFFFFFF);  // seven digits: exact
  EXPECT_EQ(HexValue("10000000"), 0x10000000);
  EXPECT_EQ(HexValue("7FFFFFFF"), 0x7FFFFFFF);
  EXPECT_EQ(HexValue("80000000"), -2147483648LL);
  EXPECT_EQ(HexValue("F0000000"), -268435456LL);
  EXPECT_EQ(HexValue("FFFFFFFF"), -268435456LL + 0x0FFFFFFF);
  EXPECT_EQ(HexValue("G0000000"), -268435456LL);
  EXPECT_EQ(HexValue("123456789"), 0x23456789);
  EXPECT_EQ(HexValue("ZZ00000001"), 1);
}

TEST(TruncTol, AHairBelowAWholeNumberCountsAsIt) {
  EXPECT_EQ(TruncTol(2.999995L), 3);
  EXPECT_EQ(TruncTol(2.99998L), 2);
  EXPECT_EQ(TruncTol(2.5L), 2);
  EXPECT_EQ(TruncTol(0.0L), 0);
  EXPECT_EQ(TruncTol(-2.999995L), -3);
  EXPECT_EQ(TruncTol(-2.99998L), -2);
  EXPECT_EQ(TruncTol(-2.5L), -2);
}

TEST(TruncTol, OutOfRangeAndNaNStayDefined) {
  EXPECT_EQ(TruncTol(1e30L), kMax64);
  EXPECT_EQ(TruncTol(-1e30L), kMin64);
  EXPECT_EQ(TruncTol(std::numeric_limits<long double>::infinity()), kMax64);
  EXPECT_EQ(TruncTol(std::numeric_limits<long double>::quiet_NaN()), 0);
}

TEST(RoundHalfAway, RoundsToFourDecimalsThenHalfAwayFromZero) {
  const std::pair<long double, int64_t> cases[] = {
      {2.5L, 3},     {-2.5L, -3},   {2.49996L, 3}, {2.4999L, 2},   {0.5L, 1}, {-0.49999L, -1}, {99.4L, 99},   {0.0L, 0},
      {0.49994L, 0}, {-0.4999L, 0}, {3.9999L, 4},  {-3.9999L, -4}, {1.5L, 2}, {-1.5L, -2},     {100.0L, 100},
  };
  for (const auto& [x, expected] : cases) EXPECT_EQ(RoundHalfAway(x), expected) << static_cast<double>(x);
}

TEST(RoundHalfAway, PercentagesAsTheDeviceModelMakesThem) {
  EXPECT_EQ(RoundHalfAway(7.0L / 9.0L * 100.0L), 78);
  EXPECT_EQ(RoundHalfAway(2.0L / 3.0L * 100.0L), 67);
  EXPECT_EQ(RoundHalfAway(1.0L / 8.0L * 100.0L), 13);
  EXPECT_EQ(RoundHalfAway(1.0L / 3.0L * 100.0L), 33);
  // Computed in double first, as callers passing double do.
  EXPECT_EQ(RoundHalfAway(static_cast<double>(7) / 9 * 100), 78);
}

TEST(RoundHalfAway, LargeValuesAndNaNStayDefined) {
  EXPECT_EQ(RoundHalfAway(1e16L), 10000000000000000LL);
  EXPECT_EQ(RoundHalfAway(-1e16L - 0.5L), -10000000000000001LL);
  EXPECT_EQ(RoundHalfAway(1e300L), kMax64);
  EXPECT_EQ(RoundHalfAway(-1e300L), kMin64);
  EXPECT_EQ(RoundHalfAway(std::numeric_limits<long double>::infinity()), kMax64);
  EXPECT_EQ(RoundHalfAway(std::numeric_limits<long double>::quiet_NaN()), 0);
}

}  // namespace
}  // namespace fd::support
