#pragma once

#include <ctime>
#include <string>

namespace fd::support {

// The short date (dd.MM.yyyy) and long time (HH:mm:ss) of the Russian locale, local time.
std::string ShortDateText(std::time_t when);
std::string LongTimeText(std::time_t when);
// "<short date> <long time>", as the run log stamps its lines.
// Each gives "" for a time the C library cannot break down.
std::string DateTimeText(std::time_t when);

}  // namespace fd::support
