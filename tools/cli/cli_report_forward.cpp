// firnadesk-cli report: handed on to firnadesk-cli-report (see cli_report_usage.h).
#include "cli_command.h"
#include "cli_report_usage.h"

namespace fd::cli {
namespace {

const CommandRegistration kReportForward{kReportName, kReportUsage, kReportSummary, kReportProgram};

}  // namespace
}  // namespace fd::cli
