#pragma once

#include <string_view>

#include "devices/cue_record.h"

namespace fd::show {

// Walks a scenario line field by field. Fields are separated by runs of TABs and SPACEs.
class LineFields {
 public:
  explicit LineFields(std::string_view line) : rest_(line) {}

  // Skips TABs and SPACEs, takes the text up to the next TAB or SPACE (or the end) and consumes
  // that one separator as well. Empty when the line has no more fields.
  std::string_view NextToken();
  // What is left after the fields: leading TABs and SPACEs skipped, up to the first TAB (SPACEs
  // inside are kept); anything after that TAB is ignored.
  std::string_view Comment();

 private:
  std::string_view rest_;
};

// Limits of the texts kept per cue, in the file's single-byte characters.
inline constexpr size_t kMaxTimeText = 32;
inline constexpr size_t kMaxComment = 255;

// Builds a cue from one non-empty scenario line (Windows-1251 bytes; texts are stored as UTF-8).
// False when the line is not a cue: the console or the channel is missing or not an integer, a
// motion command is not one of LT, RT, C, L, R, or one of its percentages is not an integer.
bool ParseCueLine(std::string_view line, devices::CueRecord& cue);

}  // namespace fd::show
