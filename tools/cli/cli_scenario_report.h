#pragma once

#include <map>
#include <string>
#include <vector>

#include "cli_json.h"
#include "devices/cue_record.h"
#include "devices/scenario_memory_fit.h"
#include "show/preflight_checks.h"
#include "show/project_list.h"
#include "show/scenario_report.h"

namespace fd::cli {

// The channel number as the file wrote it (1-based); the loader's wrap undone for the one number
// that has no predecessor.
int32_t FileChannel(const devices::CueRecord& cue);
// "channel", "C", "L", "R", "LT", "RT".
const char* KindName(int32_t kind);

// What a search found that the report adds to the scenario's own summary.
struct BusFindings {
  std::string converter;
  bool simulated = false;
  std::map<int, show::ConsoleFirmware> firmware;
  std::map<int, int> channelCounts;  // from the identification answer; also the records a console holds
  show::PreflightResult unconnected;
  show::PreflightResult times;
  std::vector<devices::UnfitCue> unfit;
};

// The loader never refuses a time: one it cannot read plays at 0 or at the part it could read.
void AddTimeWarnings(const std::vector<devices::CueRecord>& cues, show::ScenarioSummary& summary);

std::string TextReport(const show::TProjectList& list, const show::ScenarioSummary& s, const BusFindings* bus);

// One "  \"key\": value," line of a JSON document printed member by member.
void PrintMember(const std::string& key, const Json& value, bool last = false);

// Member by member and cue by cue: a scenario of a million cues is never held as one text. The
// members of leading (an object) come right after "path".
void PrintJsonReport(const std::string& path, const show::LoadResult& loaded, const show::TProjectList& list,
                     const show::ScenarioSummary& s, const BusFindings* bus, const Json* leading = nullptr);
void PrintJsonLoadError(const std::string& path, const show::LoadResult& r);

}  // namespace fd::cli
