#include "import/script_import.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "import/csv_reader.h"
#include "import/field_text.h"
#include "import/text_decoding.h"

namespace fd::import {

namespace {

// Where the header row starts: the first line that is neither empty nor a "#" remark.
bool FindHeader(std::string_view text, size_t& start, int& line) {
  size_t pos = 0;
  line = 1;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view content = TrimBlanks(text.substr(pos, end - pos));
    if (!content.empty() && content.front() != '#') {
      start = pos;
      return true;
    }
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    pos = end + 1;
    ++line;
  }
  return false;
}

// A million cues are written once from start to end; in 2 MB pages that costs a few hundred page
// faults instead of tens of thousands. Only advice: nothing changes when the system says no.
void AskForLargePages(void* start, size_t bytes) {
  constexpr uintptr_t kLargePage = uintptr_t{2} << 20;
  const auto first = (reinterpret_cast<uintptr_t>(start) + kLargePage - 1) & ~(kLargePage - 1);
  const auto end = (reinterpret_cast<uintptr_t>(start) + bytes) & ~(kLargePage - 1);
  if (end > first) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

bool Blank(const CsvRecord& row) {
  for (const std::string& field : row.Fields)
    if (!TrimBlanks(field).empty()) return false;
  return true;
}

}  // namespace

const char* DelimiterName(char delimiter) {
  return delimiter == '\t' ? "TAB" : delimiter == ';' ? "semicolon" : "comma";
}

ImportResult ImportScript(std::string_view bytes, const ImportSettings& settings) {
  ImportResult result;
  DecodedText text;
  if (!DecodeScriptText(bytes, settings.Encoding, text)) {
    result.Problem = std::string("the encoding \"") + QuoteForReason(text.Encoding) + "\" is not known";
    result.ProblemLine = 1;
    return result;
  }
  result.Encoding = text.Encoding;
  result.InvalidBytes = text.Invalid;

  size_t start = 0;
  if (!FindHeader(text.Utf8, start, result.HeaderLine)) {
    result.Problem = "the file has no header row";
    result.ProblemLine = 1;
    return result;
  }
  result.Delimiter = GuessDelimiter(text.Utf8, start);
  CsvReader reader(text.Utf8, result.Delimiter, start, result.HeaderLine);
  CsvRecord row;
  reader.Next(row);
  if (!MapColumns(row.Fields, settings.Columns, result.Columns, result.Problem)) {
    result.ProblemLine = result.HeaderLine;
    return result;
  }
  result.Readable = true;

  // Room for a cue a line: a script of a million rows is not grown step by step.
  result.Cues.reserve(
      static_cast<size_t>(std::count(text.Utf8.begin() + static_cast<std::ptrdiff_t>(start), text.Utf8.end(), '\n')));
  AskForLargePages(result.Cues.data(), result.Cues.capacity() * sizeof(devices::CueRecord));
  std::string reason;
  while (reader.Next(row)) {
    if (Blank(row) && !row.Unclosed) continue;
    ++result.Rows;
    devices::CueRecord& cue = result.Cues.emplace_back();
    if (RowToCue(row, result.Columns, settings.Rows, cue, result.Replaced, reason)) continue;
    result.Cues.pop_back();
    result.BadRows.push_back(BadRow{row.Line, reason});
  }
  return result;
}

}  // namespace fd::import
