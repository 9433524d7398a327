#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace fd::cli {

// Members in the order they were added, as the reports list them.
using Json = nlohmann::ordered_json;

// A value as one line with ", " and ": " between the parts. Strings are taken as UTF-8: bytes
// that are not valid UTF-8 become U+FFFD, so the document stays valid whatever came from the bus
// or a file.
std::string OneLine(const Json& value);

// A JSON string literal, quotes included (the rules of OneLine).
std::string JsonString(const std::string& text);
// A single byte as a one-character string (a type letter): printable ASCII as itself, anything
// else as its Latin-1 code point.
std::string JsonChar(char c);
Json JsonCharValue(char c);
// A number in its shortest exact form; not-a-number and infinities become null.
std::string JsonNumber(double value);
Json JsonNumberValue(double value);

}  // namespace fd::cli
