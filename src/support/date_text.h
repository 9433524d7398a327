#pragma once

#include <ctime>
#include <string>

namespace fd::support {

// The user's short date and long time, local time, in the formats of the time locale the
// environment names (LC_ALL, else LC_TIME, else LANG): 06.12.2026 and 23:41:07 for ru_RU,
// 12/06/2026 and 11:41:07 PM for en_US. A locale the system does not have gives the C library's
// own formats. The program's current locale is neither used nor changed.
std::string ShortDateText(std::time_t when);
std::string LongTimeText(std::time_t when);
// "<short date> <long time>", as the run log stamps its lines.
// Each gives "" for a time the C library cannot break down.
std::string DateTimeText(std::time_t when);

}  // namespace fd::support
