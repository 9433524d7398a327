#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "support/date_text.h"

namespace fd::support {
namespace {

// Runs the test body in a given time zone and puts the old one back.
class ZoneGuard {
 public:
  explicit ZoneGuard(const char* zone) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~ZoneGuard() {
    if (old_) {
      ::setenv("TZ", old_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }

 private:
  std::optional<std::string> old_;
};

constexpr std::time_t kSixthDecember2026 = 1796600467;  // 06.12.2026 23:41:07 UTC

TEST(DateText, DayMonthYearAndTwentyFourHourTime) {
  ZoneGuard zone("UTC0");
  EXPECT_EQ(ShortDateText(kSixthDecember2026), "06.12.2026");
  EXPECT_EQ(LongTimeText(kSixthDecember2026), "23:41:07");
  EXPECT_EQ(DateTimeText(kSixthDecember2026), "06.12.2026 23:41:07");
  EXPECT_EQ(DateTimeText(0), "01.01.1970 00:00:00");
  EXPECT_EQ(DateTimeText(9 * 3600 + 5 * 60 + 3), "01.01.1970 09:05:03");
}

TEST(DateText, UsesLocalTime) {
  ZoneGuard zone("MSK-3");
  EXPECT_EQ(DateTimeText(kSixthDecember2026), "07.12.2026 02:41:07");
  EXPECT_EQ(ShortDateText(kSixthDecember2026), "07.12.2026");
}

}  // namespace
}  // namespace fd::support
