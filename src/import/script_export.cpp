#include "import/script_export.h"

#include <cstdio>
#include <string_view>

#include "import/scenario_text.h"

namespace fd::import {

namespace {

void AppendField(std::string_view text, std::string& out) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos &&
      (text.empty() || (text.front() != ' ' && text.back() != ' '))) {
    out += text;
    return;
  }
  out += '"';
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

std::string SecondsText(int32_t ms) {
  const bool negative = ms < 0;
  const int64_t magnitude = negative ? -int64_t{ms} : int64_t{ms};
  char text[32];
  std::snprintf(text, sizeof text, "%s%lld.%03lld", negative ? "-" : "", static_cast<long long>(magnitude / 1000),
                static_cast<long long>(magnitude % 1000));
  return text;
}

}  // namespace

std::string ExportScript(const std::vector<devices::CueRecord>& cues) {
  std::string out = "\xEF\xBB\xBFtime,console,channel,comment\r\n";
  out.reserve(cues.size() * 32 + out.size());
  for (const devices::CueRecord& cue : cues) {
    out += SecondsText(cue.TimeMs);
    out += ',';
    out += std::to_string(cue.Console);
    out += ',';
    out += ScenarioTarget(cue);
    out += ',';
    AppendField(cue.Comment, out);
    out += "\r\n";
  }
  return out;
}

}  // namespace fd::import
