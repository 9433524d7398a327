// The RFC 4180 reader on arbitrary text: it never reads out of bounds, always moves on, counts
// lines forward, and what it reads, written back with every field quoted, reads the same again.
#include "import/csv_reader.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  const char delimiter = fd::import::GuessDelimiter(text, 0);
  fd::import::CsvReader reader(text, delimiter);
  fd::import::CsvRecord record;
  std::vector<std::vector<std::string>> records;
  std::string rewritten;
  int line = 0;
  bool unclosed = false;
  while (reader.Next(record)) {
    if (record.Line <= line || unclosed || record.Fields.empty()) std::abort();
    line = record.Line;
    unclosed = record.Unclosed;  // only the last record may run to the end
    records.push_back(record.Fields);
    for (size_t i = 0; i < record.Fields.size(); ++i) {
      if (i) rewritten += delimiter;
      rewritten += '"';
      for (char c : record.Fields[i]) {
        if (c == '"') rewritten += '"';
        rewritten += c;
      }
      rewritten += '"';
    }
    rewritten += "\r\n";
    if (records.size() > size + 1) std::abort();  // every record takes at least one byte
  }
  fd::import::CsvReader again(rewritten, delimiter);
  for (const auto& fields : records) {
    if (!again.Next(record) || record.Fields != fields || record.Unclosed) std::abort();
  }
  if (again.Next(record)) std::abort();
  return 0;
}
