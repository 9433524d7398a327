#pragma once

// report draws the show's timeline with Qt, so it links Qt's GUI library; it lives in a program of
// its own (firnadesk-cli-report) that firnadesk-cli starts for it, as rehearse does. Both programs
// list it with these texts.
namespace fd::cli {

inline constexpr const char* kReportName = "report";
inline constexpr const char* kReportProgram = "firnadesk-cli-report";
inline constexpr const char* kReportUsage = "JOURNAL [--json | --csv] [--png FILE]";
inline constexpr const char* kReportSummary =
    "what a show (or a write, verify or channel test) did, read from its journal; --png draws the show";

}  // namespace fd::cli
