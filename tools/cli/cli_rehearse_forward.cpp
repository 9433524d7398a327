// firnadesk-cli rehearse: handed on to firnadesk-cli-rehearse (see cli_rehearse_usage.h).
#include "cli_command.h"
#include "cli_rehearse_usage.h"

namespace fd::cli {
namespace {

const CommandRegistration kRehearseForward{kRehearseName, kRehearseUsage, kRehearseSummary, kRehearseProgram};

}  // namespace
}  // namespace fd::cli
