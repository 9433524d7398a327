#include "cli_scenario_args.h"

#include <algorithm>

namespace fd::cli {

bool ScenarioArgs::Has(const std::string& flag) const {
  return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

std::string ParseScenarioArgs(const std::vector<std::string>& args, const std::vector<std::string>& allowedFlags,
                              ScenarioArgs& out) {
  for (size_t i = 0; i < args.size(); ++i) {
    std::string error;
    switch (TakeBusOption(args, i, out.bus, error)) {
      case OptionMatch::Taken:
        out.busGiven = true;
        continue;
      case OptionMatch::Bad:
        return error;
      case OptionMatch::NotMine:
        break;
    }
    const std::string& a = args[i];
    if (std::find(allowedFlags.begin(), allowedFlags.end(), a) != allowedFlags.end()) {
      out.flags.push_back(a);
    } else if (a.rfind("--", 0) == 0) {
      return "unknown option \"" + a + "\"";
    } else if (out.path.empty()) {
      out.path = a;
    } else {
      return "one scenario file at a time";
    }
  }
  if (out.path.empty()) return "name the scenario file";
  return "";
}

}  // namespace fd::cli
