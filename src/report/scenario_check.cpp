#include "report/scenario_check.h"

#include <sys/stat.h>

#include "devices/cue_record.h"
#include "show/journal_header.h"
#include "show/project_list.h"
#include "support/sha256.h"

namespace fd::report {

namespace {

// The scenario loader's own limit on a file.
constexpr off_t kMaxScenarioBytes = off_t{256} << 20;

ScenarioCheck NotMatched(const std::string& why) {
  ScenarioCheck check;
  check.note = why + "; the report holds what the journal holds";
  return check;
}

}  // namespace

ScenarioCheck CheckScenario(const journal::JournalHeader& header) {
  const std::string& path = header.scenarioPath;
  if (path.empty()) return {};
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return NotMatched("the scenario " + path + " is gone");
  if (!S_ISREG(info.st_mode) || info.st_size > kMaxScenarioBytes)
    return NotMatched("the scenario " + path + " is not a scenario file");
  const std::string sha = support::FileSha256Hex(path);
  if (sha.empty()) return NotMatched("the scenario " + path + " cannot be read");
  if (sha != header.scenarioSha256) return NotMatched("the scenario " + path + " has changed since the show");
  show::TProjectList list;
  const show::LoadResult loaded = list.LoadFromFile(path);
  if (!loaded.Ok()) return NotMatched("the scenario " + path + " does not load (" + loaded.Message + ")");
  ScenarioCheck check;
  check.matched = true;
  for (const devices::CueRecord& record : list.Cues()) check.cues.push_back(show::JournalCueOf(record));
  return check;
}

}  // namespace fd::report
