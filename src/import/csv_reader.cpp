#include "import/csv_reader.h"

#include <array>

namespace fd::import {

void CsvReader::CountBreaks(size_t from, size_t to) {
  for (size_t i = from; i < to; ++i) {
    if (text_[i] == '\n' || (text_[i] == '\r' && (i + 1 >= text_.size() || text_[i + 1] != '\n'))) ++line_;
  }
}

void CsvReader::ReadQuoted(std::string& field, CsvRecord& record) {
  ++pos_;  // the opening quote
  for (;;) {
    const size_t quote = text_.find('"', pos_);
    if (quote == std::string_view::npos) {
      CountBreaks(pos_, text_.size());
      field.append(text_.substr(pos_));
      pos_ = text_.size();
      record.Unclosed = true;
      return;
    }
    CountBreaks(pos_, quote);
    field.append(text_.substr(pos_, quote - pos_));
    pos_ = quote + 1;
    if (pos_ < text_.size() && text_[pos_] == '"') {
      field += '"';
      ++pos_;
      continue;
    }
    return;
  }
}

bool CsvReader::Next(CsvRecord& record) {
  if (pos_ >= text_.size()) return false;
  record.Line = line_;
  record.Unclosed = false;
  size_t count = 0;
  for (;;) {
    if (record.Fields.size() <= count) record.Fields.emplace_back();
    std::string& field = record.Fields[count++];
    field.clear();
    if (text_[pos_] == '"') ReadQuoted(field, record);
    size_t end = pos_;
    while (end < text_.size()) {
      const char c = text_[end];
      if (c == delimiter_ || c == '\n' || c == '\r') break;
      ++end;
    }
    field.append(text_.substr(pos_, end - pos_));
    pos_ = end;
    if (pos_ >= text_.size()) break;
    if (text_[pos_] == delimiter_) {
      ++pos_;
      if (pos_ < text_.size()) continue;
      // A delimiter at the very end still opens one more, empty field.
      if (record.Fields.size() <= count) record.Fields.emplace_back();
      record.Fields[count++].clear();
      break;
    }
    if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ++pos_;
    ++pos_;
    ++line_;
    break;
  }
  record.Fields.resize(count);
  return true;
}

char GuessDelimiter(std::string_view text, size_t lineStart) {
  static constexpr std::array<char, 3> kCandidates = {'\t', ';', ','};
  std::array<size_t, 3> counts{};
  bool quoted = false;
  for (size_t i = lineStart; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      quoted = !quoted;
      continue;
    }
    if (quoted) continue;
    if (c == '\n' || c == '\r') break;
    for (size_t k = 0; k < kCandidates.size(); ++k)
      if (c == kCandidates[k]) ++counts[k];
  }
  size_t best = kCandidates.size() - 1;  // a comma unless another is more frequent
  for (size_t k = 0; k < kCandidates.size(); ++k)
    if (counts[k] > counts[best]) best = k;
  return kCandidates[best];
}

}  // namespace fd::import
