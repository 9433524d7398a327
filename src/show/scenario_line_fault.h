#pragma once

#include <string>
#include <string_view>

namespace fd::show {

// Why a scenario line is not a cue, in words for the command-line tools ("the channel \"x\" is not a
// number"). Meant for a line that ParseCueLine refused; for a good line it is empty. Tokens quoted
// from the line are cut to a few dozen bytes.
std::string CueLineFault(std::string_view line);

}  // namespace fd::show
