#include "import/column_map.h"

#include "import/field_text.h"

namespace fd::import {

namespace {

// Aliases by role, most telling first: a script with both "Effect" and "Name" takes its comment
// from the effect.
const std::array<std::vector<std::string>, kColumnCount> kAliases = {{
    {"time", "event time", "ignition time", "shot time", "время"},
    {"module", "console", "rail", "address", "пульт"},
    {"pin", "channel", "cue", "канал"},
    {"effect", "description", "name", "comment", "комментарий"},
}};

// "Event_Time (s)" -> "event time".
std::string NormalName(std::string_view text) {
  std::string name = LowerCaseName(TrimBlanks(text));
  if (!name.empty() && (name.back() == ')' || name.back() == ']')) {
    const size_t open = name.find_last_of(name.back() == ')' ? '(' : '[');
    if (open != std::string::npos && open > 0) name.erase(open);
  }
  std::string out;
  for (char c : name) {
    if (c == '_' || c == '-' || c == '\t') c = ' ';
    if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
    out += c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

bool IsNumber(std::string_view text) {
  if (text.empty() || text.size() > 6) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

std::string HeaderList(const std::vector<std::string>& header) {
  std::string list;
  for (const std::string& name : header) {
    if (!list.empty()) list += ", ";
    list += '"';
    list += QuoteForReason(name);
    list += '"';
  }
  return list;
}

}  // namespace

const char* ColumnName(Column column) {
  static constexpr std::array<const char*, kColumnCount> kNames = {"time", "console", "channel", "comment"};
  return kNames[static_cast<size_t>(column)];
}

bool ParseColumnsOption(std::string_view text, ColumnChoice& choice, std::string& error) {
  choice = ColumnChoice{};
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) comma = text.size();
    const std::string_view item = text.substr(start, comma - start);
    const size_t equals = item.find('=');
    const std::string role(TrimBlanks(item.substr(0, equals)));
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view() : TrimBlanks(item.substr(equals + 1));
    size_t k = 0;
    while (k < kColumnCount && role != ColumnName(static_cast<Column>(k))) ++k;
    if (k == kColumnCount) {
      error = std::string("--columns: \"") + QuoteForReason(role) + "\" is not time, console, channel or comment";
      return false;
    }
    if (value.empty()) {
      error = std::string("--columns: ") + role + " needs a column number or a header name";
      return false;
    }
    if (!choice.Named[k].empty()) {
      error = std::string("--columns: ") + role + " given twice";
      return false;
    }
    choice.Named[k] = std::string(value);
    start = comma + 1;
  }
  return true;
}

bool MapColumns(const std::vector<std::string>& header, const ColumnChoice& choice, ColumnMap& map,
                std::string& reason) {
  map = ColumnMap{};
  std::vector<std::string> names;
  names.reserve(header.size());
  for (const std::string& h : header) names.push_back(NormalName(h));

  // The columns the operator named first, so that a name in the header cannot take them again.
  for (size_t k = 0; k < kColumnCount; ++k) {
    const std::string& named = choice.Named[k];
    if (named.empty()) continue;
    const char* role = ColumnName(static_cast<Column>(k));
    int index = -1;
    if (IsNumber(named)) {
      const int number = std::stoi(named);
      if (number < 1 || number > static_cast<int>(header.size())) {
        reason = std::string("--columns ") + role + "=" + named + ": the header has " + std::to_string(header.size()) +
                 " column(s)";
        return false;
      }
      index = number - 1;
    } else {
      const std::string wanted = NormalName(named);
      for (size_t i = 0; i < names.size() && index < 0; ++i)
        if (names[i] == wanted) index = static_cast<int>(i);
      if (index < 0) {
        reason = std::string("--columns ") + role + "=" + QuoteForReason(named) +
                 std::string(": the header has no such column (it has ") + HeaderList(header) + ")";
        return false;
      }
    }
    map.Index[k] = index;
  }
  const auto taken = [&map](int column) {
    for (int index : map.Index)
      if (index == column) return true;
    return false;
  };
  for (size_t k = 0; k < kColumnCount; ++k) {
    if (map.Index[k] >= 0) continue;
    for (const std::string& alias : kAliases[k]) {
      for (size_t i = 0; i < names.size() && map.Index[k] < 0; ++i)
        if (names[i] == alias && !taken(static_cast<int>(i))) map.Index[k] = static_cast<int>(i);
      if (map.Index[k] >= 0) break;
    }
    if (map.Index[k] < 0 && static_cast<Column>(k) != Column::Comment) {
      const char* role = ColumnName(static_cast<Column>(k));
      reason = std::string("the header has no ") + role + " column (it has " + HeaderList(header) +
               std::string("); name it with --columns ") + role + "=...";
      return false;
    }
  }
  for (size_t k = 0; k < kColumnCount; ++k)
    if (map.Index[k] >= 0) map.Header[k] = header[static_cast<size_t>(map.Index[k])];
  return true;
}

}  // namespace fd::import
