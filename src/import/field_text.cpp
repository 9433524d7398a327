#include "import/field_text.h"

namespace fd::import {

namespace {
constexpr size_t kQuoteBytes = 40;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string QuoteForReason(std::string_view text) {
  size_t end = text.size();
  if (end > kQuoteBytes) {
    end = kQuoteBytes;
    // Back to the start of a character, so the cut never splits one.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  }
  std::string out(text.substr(0, end));
  for (char& c : out)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  if (end < text.size()) out += "...";
  return out;
}

std::string LowerCaseName(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 'A' && c <= 'Z') {
      out += static_cast<char>(c - 'A' + 'a');
      continue;
    }
    // Cyrillic capitals in UTF-8: А..П (D0 90..9F) -> а..п (D0 B0..BF), Р..Я (D0 A0..AF) -> р..я
    // (D1 80..8F), Ё (D0 81) -> ё (D1 91).
    if (c == 0xD0 && i + 1 < text.size()) {
      const auto n = static_cast<unsigned char>(text[i + 1]);
      if (n >= 0x90 && n <= 0x9F) {
        out += '\xD0';
        out += static_cast<char>(n + 0x20);
        ++i;
        continue;
      }
      if (n >= 0xA0 && n <= 0xAF) {
        out += '\xD1';
        out += static_cast<char>(n - 0x20);
        ++i;
        continue;
      }
      if (n == 0x81) {
        out += "\xD1\x91";
        ++i;
        continue;
      }
    }
    out += static_cast<char>(c);
  }
  return out;
}

}  // namespace fd::import
