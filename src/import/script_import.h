#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "devices/cue_record.h"
#include "import/column_map.h"
#include "import/row_to_cue.h"

namespace fd::import {

struct ImportSettings {
  ColumnChoice Columns;
  RowRules Rows;
  std::string Encoding;  // for text that is neither UTF-8 nor UTF-16 with a BOM; empty: guessed
};

struct BadRow {
  int Line = 0;
  std::string Reason;
};

struct ImportResult {
  // False when the text is no script at all (no header row, a column missing, an encoding iconv
  // does not have): Problem says why, ProblemLine names the line (the header's, or 1).
  bool Readable = false;
  std::string Problem;
  int ProblemLine = 0;

  std::string Encoding;
  size_t InvalidBytes = 0;  // sequences the encoding does not have (read as U+FFFD)
  char Delimiter = ',';
  int HeaderLine = 0;
  ColumnMap Columns;
  size_t Rows = 0;                       // data rows, blank ones not counted
  std::vector<devices::CueRecord> Cues;  // in the script's order
  std::vector<BadRow> BadRows;
  size_t Replaced = 0;  // comment characters the code page cannot hold, written as "?"
};

// A show-design script (delimited text with a header row, "#" lines before it skipped) read into
// cues. Every row is read; rows that cannot be read are listed, never guessed at.
ImportResult ImportScript(std::string_view bytes, const ImportSettings& settings);

// "comma", "semicolon", "TAB".
const char* DelimiterName(char delimiter);

}  // namespace fd::import
