#pragma once

#include <string>
#include <string_view>

namespace fd::show {

// Why a scenario line is not a cue, in words for the command-line tools ("the channel \"x\" is not a
// number"). Meant for a line that ParseCueLine refused; for a good line it is empty. Tokens quoted
// from the line are cut to a few dozen bytes.
std::string CueLineFault(std::string_view line);

// True when a time field reads as written: seconds, m:s or h:m:s (minutes and seconds up to 59,
// hours up to 23), then optionally "." and digits, within 24 days. The loader never refuses a
// time (one it cannot read plays at 0 or at the part it could read); this tells such a time apart.
bool TimeReadsCleanly(std::string_view text);

}  // namespace fd::show
