// The script importer on arbitrary bytes (any encoding, delimiter, quoting): it never crashes,
// every row is either a cue or a bad row with its line, and every cue it makes is one the scenario
// file holds: written out and read back by the loader, it comes back the same.
#include "import/script_import.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "import/scenario_text.h"
#include "show/scenario_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  fd::import::ImportSettings settings;
  // The first byte picks a frame rate and a time unit, so timecodes and milliseconds are reached.
  if (!bytes.empty()) {
    const unsigned char pick = static_cast<unsigned char>(bytes.front());
    settings.Rows.Time.Fps = static_cast<fd::import::FrameRate>(pick % 5);
    settings.Rows.Time.Unit = pick & 0x10 ? fd::import::TimeUnit::Milliseconds : fd::import::TimeUnit::Seconds;
    bytes.remove_prefix(1);
  }
  const fd::import::ImportResult result = fd::import::ImportScript(bytes, settings);
  if (!result.Readable) {
    if (result.Problem.empty() || result.ProblemLine < 1 || !result.Cues.empty()) std::abort();
    return 0;
  }
  if (result.Cues.size() + result.BadRows.size() != result.Rows) std::abort();
  for (const auto& bad : result.BadRows)
    if (bad.Line <= result.HeaderLine || bad.Reason.empty()) std::abort();
  for (const auto& cue : result.Cues) {
    std::string line;
    fd::import::AppendScenarioLine(cue, line);
    line.resize(line.size() - 2);  // CR LF
    fd::devices::CueRecord back;
    if (!fd::show::ParseCueLine(line, back)) std::abort();
    if (back.TimeMs != cue.TimeMs || back.Console != cue.Console || back.CueKind != cue.CueKind ||
        back.Comment != cue.Comment || back.TimeText != cue.TimeText)
      std::abort();
    if (cue.CueKind == fd::devices::ChannelCue ? back.Channel != cue.Channel
                                               : back.Param1 != cue.Param1 || back.Param2 != cue.Param2)
      std::abort();
  }
  return 0;
}
