#include "cli_command.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace fd::cli {

namespace {
// Constructed on first use: registrations run during static initialisation in any order.
std::vector<Command>& Table() {
  static std::vector<Command> table;
  return table;
}
}  // namespace

CommandRegistration::CommandRegistration(std::string name, std::string usage, std::string summary, CommandFn run) {
  Table().push_back(Command{std::move(name), std::move(usage), std::move(summary), run});
}

std::vector<Command> Commands() {
  std::vector<Command> sorted = Table();
  std::sort(sorted.begin(), sorted.end(), [](const Command& a, const Command& b) { return a.Name < b.Name; });
  return sorted;
}

const Command* FindCommand(const std::string& name) {
  for (const Command& c : Table())
    if (c.Name == name) return &c;
  return nullptr;
}

int PrintUsage(const std::string& name, const std::string& problem) {
  if (!problem.empty()) std::fprintf(stderr, "firnadesk-cli %s: %s\n", name.c_str(), problem.c_str());
  const Command* command = FindCommand(name);
  std::fprintf(stderr, "usage: firnadesk-cli %s %s\n", name.c_str(), command ? command->Usage.c_str() : "");
  return kExitUsage;
}

}  // namespace fd::cli
