#pragma once

#include <string>

namespace fd::support {

// Windows-1251 <-> UTF-8 through iconv. Characters without a mapping become "?".
// An invalid UTF-8 byte, a sequence cut off at the end, and the one unassigned Windows-1251 byte
// (0x98) each become one "?". Neither function throws; without memory they return "".
std::string Utf8ToCp1251(const std::string& utf8);
std::string Cp1251ToUtf8(const std::string& cp1251);

}  // namespace fd::support
