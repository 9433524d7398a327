#include "cli_scenario_args.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <map>
#include <memory>

#include "devices/scenario_memory.h"
#include "show/project_list.h"

namespace fd::cli {

bool ScenarioArgs::Has(const std::string& flag) const {
  return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

void AddScenarioArgs(CommandLine& line, const std::vector<std::string>& allowedFlags, ScenarioArgs& out) {
  AddBusOptions(line, out.bus, &out.busGiven);
  CLI::App& app = line.App();
  std::vector<std::pair<std::string, CLI::Option*>> flags;
  static const std::map<std::string, std::string> kHelp = {
      {"--json", "the report as one JSON document on standard output"},
      {"--verify", "read back what was written, in the same session"},
      {"--full-search", "sweep all 256 bus addresses instead of probing the scenario's consoles"},
      {"--allow-missing", "go on when consoles the scenario names are not on the bus; the summary names them"},
      {"--autonomous", "write and verify the scenario first, then let the consoles fire from their memory"},
  };
  for (const std::string& flag : allowedFlags) {
    const auto help = kHelp.find(flag);
    flags.emplace_back(flag, app.add_flag(flag, help == kHelp.end() ? std::string() : help->second));
  }
  auto paths = std::make_shared<std::vector<std::string>>();
  app.add_option("SCENARIO", *paths, "the scenario file (Windows-1251)");
  line.Check([&out, flags, paths]() -> std::string {
    for (const auto& [name, option] : flags)
      if (option->count() > 0) out.flags.push_back(name);
    if (paths->empty()) return "name the scenario file";
    if (paths->size() > 1) return "one scenario file at a time";
    out.path = paths->front();
    return {};
  });
}

std::string LoadFailureText(const show::LoadResult& result) {
  if (result.Status == show::LoadStatus::OpenFailed)
    return "cannot read the file (" + result.Message + (result.Reason.empty() ? "" : ": " + result.Reason) + ")";
  std::string text = result.Message;
  if (!result.Reason.empty()) text += " Line " + std::to_string(result.Line) + ": " + result.Reason + ".";
  if (!result.EncodingHint.empty()) text += " (" + result.EncodingHint + ")";
  return text;
}

int LoadFailureExit(const show::LoadResult& result) {
  const bool unreadable = result.Status == show::LoadStatus::OpenFailed || result.Status == show::LoadStatus::TooLarge;
  return unreadable ? kExitUsage : kExitFailure;
}

}  // namespace fd::cli

namespace fd::cli {

std::string ScenarioResultText(int code, const std::optional<int>& faultLine, const std::string& cause) {
  if (code == 0) return "OK";
  if (std::string message = devices::ScenarioRunMessage(code, faultLine, cause); !message.empty()) return message;
  if (code == devices::kScenarioMotorTooOld)
    return "a motor console with firmware below 165 has cues in the scenario: it cannot store them (code -10)";
  return "failed with code " + std::to_string(code);
}

}  // namespace fd::cli
