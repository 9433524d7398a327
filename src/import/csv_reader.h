#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fd::import {

// One record of delimited text.
struct CsvRecord {
  std::vector<std::string> Fields;
  int Line = 0;           // the input line it starts on (1-based)
  bool Unclosed = false;  // a quoted field ran to the end of the text without its closing quote
};

// RFC 4180 records out of text already in UTF-8: fields separated by the delimiter, records by
// CR LF, LF or a lone CR; a field in double quotes may hold the delimiter, line breaks and quotes
// (written twice). Lenient where exports are sloppy: a quote inside an unquoted field is a
// character like any other, and text after a closing quote belongs to the same field.
class CsvReader {
 public:
  CsvReader(std::string_view text, char delimiter, size_t start = 0, int startLine = 1)
      : text_(text), delimiter_(delimiter), pos_(start), line_(startLine) {}

  // The next record; false at the end of the text. The record's strings are reused between calls.
  bool Next(CsvRecord& record);

 private:
  void ReadQuoted(std::string& field, CsvRecord& record);
  void CountBreaks(size_t from, size_t to);

  std::string_view text_;
  char delimiter_;
  size_t pos_;
  int line_;
};

// The delimiter of a header line (comma, semicolon or TAB): the one it has most of outside quotes;
// a comma when it has none.
char GuessDelimiter(std::string_view text, size_t lineStart);

}  // namespace fd::import
