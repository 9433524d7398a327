#pragma once

#include <string>

namespace fd::support {

// Windows-1251 <-> UTF-8 through iconv. Characters without a mapping become "?".
std::string Utf8ToCp1251(const std::string& utf8);
std::string Cp1251ToUtf8(const std::string& cp1251);

}  // namespace fd::support
