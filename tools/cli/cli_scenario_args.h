#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli_bus.h"
#include "cli_command.h"
#include "show/project_list.h"

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

// Declares the bus options, the allowed flags and the scenario file on the command; once parsed,
// out holds them. A missing file or a second one is a usage error.
void AddScenarioArgs(CommandLine& line, const std::vector<std::string>& allowedFlags, ScenarioArgs& out);

// The message and exit status of a scenario that did not load: the window's message, then for a
// bad line the reason, and a hint when the file looks like UTF-8. A file that cannot be read or is
// past the size limits gives kExitUsage; a bad line or a scenario too big for the memory
// kExitFailure.
std::string LoadFailureText(const show::LoadResult& result);
int LoadFailureExit(const show::LoadResult& result);

// What the operator reads for the result of a scenario write or verify: the window's message (with
// the line of the cue that kept the scenario out, when one did), or a plain one for the codes the
// window shows nothing for.
std::string ScenarioResultText(int code, const std::optional<int>& faultLine = std::nullopt,
                               const std::string& cause = {});

}  // namespace fd::cli
