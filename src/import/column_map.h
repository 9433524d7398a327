#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace fd::import {

// What a script's columns hold, as far as a scenario needs them.
enum class Column { Time, Console, Channel, Comment };
inline constexpr size_t kColumnCount = 4;

// "time", "console", "channel", "comment".
const char* ColumnName(Column column);

// Columns the operator named (--columns time=2,console=Module): a 1-based number or a header name
// for each role given; empty for the roles left to the header.
struct ColumnChoice {
  std::array<std::string, kColumnCount> Named;
};

// Reads "time=2,console=Module,..."; false with error for an unknown role, a role given twice or
// an empty value.
bool ParseColumnsOption(std::string_view text, ColumnChoice& choice, std::string& error);

// Where each role stands in a row (0-based); -1 for a comment column the script does not have.
struct ColumnMap {
  std::array<int, kColumnCount> Index{-1, -1, -1, -1};
  std::array<std::string, kColumnCount> Header;  // the header's own name of each column found

  int Of(Column column) const { return Index[static_cast<size_t>(column)]; }
};

// Finds the roles in a header row by their names, case-insensitive, English or Russian, with the
// usual aliases (time: time, event time, ignition time, shot time, время; console: module,
// console, rail, address, пульт; channel: pin, channel, cue, канал; comment: effect, description,
// name, comment, комментарий). A unit in brackets after a name ("Time (s)") is ignored. False with
// reason when time, console or channel cannot be found.
bool MapColumns(const std::vector<std::string>& header, const ColumnChoice& choice, ColumnMap& map,
                std::string& reason);

}  // namespace fd::import
