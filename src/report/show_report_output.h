#pragma once

// A show's report as the operator reads it in a terminal, as one JSON document for tools, and as
// CSV, one row per cue, for a spreadsheet.

#include <nlohmann/json.hpp>
#include <string>

#include "report/show_report.h"

namespace fd::report {

std::string ShowReportText(const ShowReport& report);
nlohmann::ordered_json ShowReportJson(const ShowReport& report);
std::string ShowReportCsv(const ShowReport& report);

// A CSV field: quoted when it holds a separator, a quote or a line break; a leading = + - @ is
// kept from being read as a formula.
std::string CsvField(const std::string& text);

}  // namespace fd::report
