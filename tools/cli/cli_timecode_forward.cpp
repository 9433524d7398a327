// firnadesk-cli timecode: handed on to firnadesk-cli-timecode (see cli_timecode_usage.h).
#include "cli_command.h"
#include "cli_timecode_usage.h"

namespace fd::cli {
namespace {

const CommandRegistration kTimecodeForward{kTimecodeName, kTimecodeUsage, kTimecodeSummary, kTimecodeProgram};

}  // namespace
}  // namespace fd::cli
