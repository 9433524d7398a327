#pragma once

#include <string>
#include <string_view>

namespace fd::import {

// The text without SPACEs and TABs around it (spreadsheets pad cells).
std::string_view TrimBlanks(std::string_view text);

// A field quoted in a reason: cut to a few dozen bytes at a UTF-8 character boundary, with "..."
// when it was longer, and line breaks shown as spaces.
std::string QuoteForReason(std::string_view text);

// Lower case for the ASCII and Russian letters of UTF-8 header names; everything else as it is.
std::string LowerCaseName(std::string_view text);

}  // namespace fd::import
