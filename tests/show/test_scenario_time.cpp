#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "show/scenario_time.h"

namespace fd::show {
namespace {

struct TimeCase {
  const char* text;
  int32_t ms;
};

void ExpectTimes(const std::vector<TimeCase>& cases) {
  for (const auto& c : cases) EXPECT_EQ(ParseTime(c.text), c.ms) << "time field \"" << c.text << "\"";
}

TEST(ParseTime, ReadsTheDocumentedExamples) {
  ExpectTimes({{"90", 90000},
               {"1:30", 90000},
               {"0:01:30.5", 90500},
               {"12.345678", 12345},
               {"1.05", 1050},
               {"-1.5", -500},
               {"1:75", 0},
               {"12.x", 0},
               {"12.3x", 12300}});
}

TEST(ParseTime, WholeSecondsTakeAnyIntegerOfTheStandardConversion) {
  ExpectTimes({{"0", 0},
               {"60", 60000},
               {"3600", 3600000},
               {"-5", -5000},
               {"+7", 7000},
               {"$10", 16000},
               {"0x10", 16000},
               {"007", 7000}});
}

TEST(ParseTime, ClockFormsCheckTheirRanges) {
  ExpectTimes({{"1:59", 119000},
               {"59:59", 3599000},
               {"1:60", 0},
               {"60:00", 0},
               {"23:59:59", 86399000},
               {"24:00:00", 0},
               {"0:60:00", 0},
               {"1:2:3", 3723000},
               {"0:0:0:1", 0},  // three colons never parse
               {"1:", 0},
               {":30", 0},
               {"1::30", 0},
               {"-1:30", 0},
               {"1:3a", 0},
               {"0001:30", 90000}});
}

TEST(ParseTime, FractionKeepsTheDigitsThatCouldBeRead) {
  ExpectTimes({{"12.", 12000},  // a dot at the end is ignored
               {"12.3", 12300},
               {"12.34", 12340},
               {"12.34x", 12340},  // bad third digit keeps tenths and hundredths
               {"12.3x4", 12300},  // bad second digit keeps the tenths
               {"12.x45", 0},      // bad first digit spoils the whole time
               {"1.2.3", 1200},    // only the first dot splits
               {"1:30.25", 90250},
               {"0:01:30.999", 90999},
               {"12.0009", 12000}});
}

TEST(ParseTime, UnreadableWholePartGivesZero) {
  ExpectTimes({{"", 0}, {".5", 0}, {"abc", 0}, {"1 0", 0}, {"1e3", 0}, {"--1", 0}});
}

TEST(ParseTime, TimesBeyondThirtyTwoBitsReadAsZeroInsteadOfWrapping) {
  ExpectTimes({{"99999999999", 0},       // not a 32-bit integer at all
               {"2147483", 2147483000},  // the largest whole second that fits
               {"2147483.647", 2147483647},
               {"2147483.648", 0},  // the fraction carries it over the top
               {"2147484", 0},      // seconds fit, milliseconds do not
               {"-2147483", -2147483000},
               {"-2147484", 0},
               {"4294967", 0},  // would wrap to a small positive time in 32 bits
               {"2147483647", 0}});
}

TEST(ParseLevel, PercentTimes255Over100TruncatedAndNotClamped) {
  struct LevelCase {
    const char* text;
    int32_t level;
  };
  for (const auto& c : std::vector<LevelCase>{{"50", 127},
                                              {"80", 204},
                                              {"100", 255},
                                              {"0", 0},
                                              {"200", 510},
                                              {"-10", -25},
                                              {"1", 2},
                                              {"-1", -2},
                                              {"$64", 255},
                                              {"842150450", 2147483647}}) {
    int32_t level = 12345;
    EXPECT_TRUE(ParseLevel(c.text, level)) << c.text;
    EXPECT_EQ(level, c.level) << c.text;
  }
}

TEST(ParseLevel, RefusesNonIntegersAndLevelsBeyondThirtyTwoBits) {
  for (const char* text : {"", "x", "5%", "2.5", "842150451", "2000000000", "-2000000000", "99999999999"}) {
    int32_t level = 77;
    EXPECT_FALSE(ParseLevel(text, level)) << text;
    EXPECT_EQ(level, 77) << "a refused level must leave the output alone: " << text;
  }
}

}  // namespace
}  // namespace fd::show
