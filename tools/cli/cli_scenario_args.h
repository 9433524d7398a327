#pragma once

#include <string>
#include <vector>

#include "cli_bus.h"

namespace fd::cli {

// What a scenario command (check, write, verify) was given: bus options, its own flags, and exactly
// one scenario file.
struct ScenarioArgs {
  BusOptions bus;
  bool busGiven = false;
  std::vector<std::string> flags;  // those of the allowed flags that were given
  std::string path;

  bool Has(const std::string& flag) const;
};

// Reads args; an empty result means success, anything else is the complaint for the usage text.
std::string ParseScenarioArgs(const std::vector<std::string>& args, const std::vector<std::string>& allowedFlags,
                              ScenarioArgs& out);

}  // namespace fd::cli
