#pragma once

#include <cstdint>
#include <string>

namespace fd::cli {

// A JSON string literal, quotes included. The text is taken as UTF-8: quotes, backslashes and
// control characters are escaped, and bytes that are not valid UTF-8 become U+FFFD, so the
// document stays valid whatever came from the bus or a file.
std::string JsonString(const std::string& text);
// A single byte as a one-character string (a type letter): printable ASCII as itself, anything
// else as its Latin-1 code point.
std::string JsonChar(char c);
// A number in its shortest exact form; not-a-number and infinities become null.
std::string JsonNumber(double value);

}  // namespace fd::cli
