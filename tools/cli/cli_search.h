#pragma once

// The one search a command makes before it works with the consoles: the full sweep of the 256
// addresses, or, for a scenario, just the consoles it names (plus the radio modules and the
// remote control), which takes a second instead of half a minute.

#include <string>
#include <vector>

#include "cli_bus.h"
#include "show/project_list.h"

namespace fd::cli {

// "[#####     ]" for a percentage.
std::string ProgressBar(int percent);

// The consoles the scenario's cues name, ascending, each once.
std::vector<int> ScenarioConsoles(const show::TProjectList& list);

// The consoles the scenario names that the search did not find (the window's pre-flight check
// asks the same before a write), ascending.
std::vector<int> MissingConsoles(const show::TProjectList& list, const devices::TControls& controls);
// "console 9" or "consoles 9, 12".
std::string ConsolesText(const std::vector<int>& ids);

enum class SearchOutcome { Done, Failed, Stopped };

// Searches for a command called `name`: the consoles listed when `consoles` is given, otherwise
// one full sweep with a progress line on standard error. Sorts the registry by ID. Failed (with a
// message on standard error) when a full sweep did not finish in time. SIGINT and SIGTERM are the
// operator's stop while it searches: Stopped, with nothing said (the command tells it its way);
// the registry holds what was found so far.
SearchOutcome SearchBus(CliBus& bus, const char* name, const std::vector<int>* consoles);

// What a command says when the operator stopped its search.
inline constexpr const char* kStoppedInSearch = "stopped by the operator during the search";

}  // namespace fd::cli
