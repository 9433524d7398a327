#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace fd::support {

// Text taken from a file or the bus, made fit for the operator's terminal: control characters
// (C0, DEL, the C1 range) and bytes that are not UTF-8 are shown as \xNN, so a file cannot send
// escape sequences; beyond maxBytes of the input the text is cut and ends in "...".
std::string TerminalText(std::string_view text, size_t maxBytes = 256);

// A path for a message, escaped as TerminalText does. A long one is shortened in its middle, so
// that its beginning and its file name stay and the reason written after it is never cut off.
std::string TerminalPath(std::string_view path, size_t maxBytes = 160);

// What an errno value means, for a message: the system's text, except that ENAMETOOLONG reads
// "name too long" (the system says "File name too long" also of a device or a folder).
std::string SystemErrorText(int error);

}  // namespace fd::support
