#include "support/date_text.h"

namespace fd::support {

namespace {

std::string Format(std::time_t when, const char* format) {
  std::tm local{};
  if (localtime_r(&when, &local) == nullptr) return {};
  char text[64];
  const size_t n = std::strftime(text, sizeof text, format, &local);
  return std::string(text, n);
}

}  // namespace

std::string ShortDateText(std::time_t when) { return Format(when, "%d.%m.%Y"); }

std::string LongTimeText(std::time_t when) { return Format(when, "%H:%M:%S"); }

std::string DateTimeText(std::time_t when) { return Format(when, "%d.%m.%Y %H:%M:%S"); }

}  // namespace fd::support
