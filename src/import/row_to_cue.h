#pragma once

#include <cstdint>
#include <string>

#include "devices/cue_record.h"
#include "import/column_map.h"
#include "import/csv_reader.h"
#include "import/script_time.h"

namespace fd::import {

// How a script's rows become cues.
struct RowRules {
  TimeRules Time;
  int64_t OffsetMs = 0;    // subtracted from every time
  bool HasOffset = false;  // a time before the offset is then refused: it lies before the show
};

// One data row as a cue (its time, console, channel or motion command and comment, Line the row's
// input line). False with reason when a field cannot be read or lies outside what the consoles
// take (consoles 1 to 199, channels 1 to 512); replaced counts the comment's characters that the
// code page cannot hold.
bool RowToCue(const CsvRecord& row, const ColumnMap& columns, const RowRules& rules, devices::CueRecord& cue,
              size_t& replaced, std::string& reason);

}  // namespace fd::import
