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

// Searches for a command called `name`: the consoles listed when `consoles` is given, otherwise
// one full sweep with a progress line on standard error. Sorts the registry by ID. False (with a
// message on standard error) when a full sweep did not finish in time.
bool SearchBus(CliBus& bus, const char* name, const std::vector<int>* consoles);

}  // namespace fd::cli
