#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

#include "locale_env.h"
#include "support/cp1251.h"
#include "support/date_text.h"
#include "support/run_log.h"
#include "support/run_log_name.h"
#include "temp_dir.h"

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

// The tests that pin the Russian formats run in that locale; a system without it skips them and
// says why.
#define REQUIRE_LOCALE(name)                                       \
  if (!testing::LocaleInstalled(name))                             \
    GTEST_SKIP() << "locale " << name << " is not installed here " \
                 << "(scripts/setup.sh generates it)";             \
  testing::LocaleEnv locale(name)

TEST(DateText, DayMonthYearAndTwentyFourHourTime) {
  REQUIRE_LOCALE("ru_RU.UTF-8");
  ZoneGuard zone("UTC0");
  EXPECT_EQ(ShortDateText(kSixthDecember2026), "06.12.2026");
  EXPECT_EQ(LongTimeText(kSixthDecember2026), "23:41:07");
  EXPECT_EQ(DateTimeText(kSixthDecember2026), "06.12.2026 23:41:07");
  EXPECT_EQ(DateTimeText(0), "01.01.1970 00:00:00");
  EXPECT_EQ(DateTimeText(9 * 3600 + 5 * 60 + 3), "01.01.1970 09:05:03");
}

TEST(DateText, UsesLocalTime) {
  REQUIRE_LOCALE("ru_RU.UTF-8");
  ZoneGuard zone("MSK-3");
  EXPECT_EQ(DateTimeText(kSixthDecember2026), "07.12.2026 02:41:07");
  EXPECT_EQ(ShortDateText(kSixthDecember2026), "07.12.2026");
}

// The run log as the operator finds it, in the user's own formats: the file named by the short date
// (separators a file name cannot hold replaced) and each line stamped with date and long time.
TEST(DateText, TheRunLogFollowsTheUsersLocale) {
  struct Case {
    const char* locale;
    const char* date;
    const char* time;
    const char* fileName;
  } cases[] = {
      {"ru_RU.UTF-8", "06.12.2026", "23:41:07", "06.12.2026_0.log"},
      {"en_US.UTF-8", "12/06/2026", "11:41:07 PM", "12.06.2026_0.log"},
      {"C", "12/06/26", "23:41:07", "12.06.26_0.log"},
  };
  for (const auto& c : cases)
    if (!testing::LocaleInstalled(c.locale))
      GTEST_SKIP() << "locale " << c.locale << " is not installed here (scripts/setup.sh generates it)";
  ZoneGuard zone("UTC0");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.locale);
    testing::LocaleEnv locale(c.locale);
    EXPECT_EQ(ShortDateText(kSixthDecember2026), c.date);
    EXPECT_EQ(LongTimeText(kSixthDecember2026), c.time);
    EXPECT_EQ(DateTimeText(kSixthDecember2026), std::string(c.date) + " " + c.time);

    testing::TempDir dir;
    std::filesystem::create_directory(dir / "logs");
    const std::string name = RunLogFileName(dir.Path(), ShortDateText(kSixthDecember2026));
    EXPECT_EQ(name, dir / (std::string("logs/") + c.fileName));

    // A line written now carries today's date and time in the same formats.
    ResetRunLog();
    LogLevel = 1;
    SetLogFileName(name);
    const std::time_t before = std::time(nullptr);
    WriteLog("Режим: готовность", 1);
    const std::time_t after = std::time(nullptr);
    const std::string bytes = testing::ReadBytes(name);
    bool stamped = false;
    for (std::time_t t = before; t <= after; ++t)
      stamped = stamped || bytes == DateTimeText(t) + ": " + Utf8ToCp1251("Режим: готовность") + "\r\n";
    EXPECT_TRUE(stamped) << bytes;
    ResetRunLog();
  }
  // The program's own locale is left as it was.
  EXPECT_STREQ(std::setlocale(LC_TIME, nullptr), "C");
}

}  // namespace
}  // namespace fd::support
