#include "support/date_text.h"

#include <langinfo.h>
#include <locale.h>

namespace fd::support {

namespace {

// The environment's time locale, opened for one text: the log writes a few lines a second at
// most, and a locale changed in the environment is seen at the next line.
class TimeLocale {
 public:
  TimeLocale() : locale_(::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0))) {
    if (locale_ == static_cast<locale_t>(0)) locale_ = ::newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
  }
  ~TimeLocale() {
    if (locale_ != static_cast<locale_t>(0)) ::freelocale(locale_);
  }
  TimeLocale(const TimeLocale&) = delete;
  TimeLocale& operator=(const TimeLocale&) = delete;

  bool Ok() const { return locale_ != static_cast<locale_t>(0); }
  std::string Item(nl_item item) const { return ::nl_langinfo_l(item, locale_); }
  std::string Format(const std::tm& local, const std::string& format) const {
    char text[256];
    const size_t n = ::strftime_l(text, sizeof text, format.c_str(), &local, locale_);
    return std::string(text, n);
  }

 private:
  locale_t locale_;
};

enum class Part { Date, Time, Both };

std::string Format(std::time_t when, Part part) {
  std::tm local{};
  if (localtime_r(&when, &local) == nullptr) return {};
  const TimeLocale locale;
  // Without any locale object the C library's formats are what the "C" locale would give.
  const std::string date = locale.Ok() ? locale.Item(D_FMT) : "%m/%d/%y";
  const std::string time = locale.Ok() ? locale.Item(T_FMT) : "%H:%M:%S";
  const std::string format = part == Part::Date ? date : part == Part::Time ? time : date + " " + time;
  if (!locale.Ok()) {
    char text[256];
    return std::string(text, std::strftime(text, sizeof text, format.c_str(), &local));
  }
  return locale.Format(local, format);
}

}  // namespace

std::string ShortDateText(std::time_t when) { return Format(when, Part::Date); }

std::string LongTimeText(std::time_t when) { return Format(when, Part::Time); }

std::string DateTimeText(std::time_t when) { return Format(when, Part::Both); }

}  // namespace fd::support
