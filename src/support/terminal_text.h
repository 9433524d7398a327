#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace fd::support {

// Text taken from a file or the bus, made fit for the operator's terminal: control characters
// (C0, DEL, the C1 range) and bytes that are not UTF-8 are shown as \xNN, so a file cannot send
// escape sequences; beyond maxBytes of the input the text is cut and ends in "...".
std::string TerminalText(std::string_view text, size_t maxBytes = 256);

}  // namespace fd::support
