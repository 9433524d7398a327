#include "cli_command.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

#include "helper_program.h"
#include "support/terminal_text.h"

namespace fd::cli {

namespace {
// Constructed on first use: registrations run during static initialisation in any order.
std::vector<Command>& Table() {
  static std::vector<Command> table;
  return table;
}
}  // namespace

void CommandLine::Needs(CLI::Option* option, std::string what) {
  for (const std::string& name : option->get_lnames()) needs_["--" + name] = what;
}

std::string CommandLine::NeedsText(const std::string& optionName) const {
  const auto found = needs_.find(optionName);
  return optionName + " needs " + (found == needs_.end() ? std::string("a value") : found->second);
}

// The parser reads "--json=0" as on (and "--json=1" as a flag given a value), takes an empty
// argument after an option for its value where "--from=" is refused, and keeps one of two values
// of an option given twice without a word: each of these is a slip the operator should hear of.
std::string CommandLine::CheckArguments() const {
  std::map<std::string, const CLI::Option*> byName;
  for (const CLI::Option* option : app_.get_options())
    for (const std::string& name : option->get_lnames()) byName["--" + name] = option;
  std::set<const CLI::Option*> seen;
  for (size_t i = 0; i < args_.size(); ++i) {
    const std::string& arg = args_[i];
    if (arg == "--") break;  // only arguments follow
    if (arg.rfind("--", 0) != 0) continue;
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const auto found = byName.find(name);
    if (found == byName.end()) continue;  // unknown: the parser's message
    const CLI::Option* option = found->second;
    if (!seen.insert(option).second) return name + " given twice";
    if (option->get_expected_max() == 0) {
      if (equals != std::string::npos && valueFlags_.count(option) == 0) return name + " takes no value";
      continue;
    }
    if (equals != std::string::npos) continue;  // "--from=" and "--from=x": the parser's
    if (i + 1 < args_.size() && args_[i + 1].empty()) return NeedsText(name);
    // Its value is no option name to look at (an option there is the parser's "needs" message).
    if (i + 1 < args_.size() && args_[i + 1][0] != '-') ++i;
  }
  return {};
}

std::string CommandLine::RunChecks() const {
  for (const auto& check : checks_)
    if (std::string problem = check(); !problem.empty()) return problem;
  return {};
}

CommandRegistration::CommandRegistration(std::string name, std::string usage, std::string summary, SetupFn setup) {
  Table().push_back(Command{std::move(name), std::move(usage), std::move(summary), std::move(setup), {}});
}

CommandRegistration::CommandRegistration(std::string name, std::string usage, std::string summary,
                                         std::string program) {
  Table().push_back(Command{std::move(name), std::move(usage), std::move(summary), nullptr, std::move(program)});
}

int RunInHelper(const Command& command, int argc, char** argv) {
  std::error_code failed;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", failed);
  if (failed) return ReportError(command.Name, "cannot find this program's folder: " + failed.message(), kExitFailure);
  const HelperLookup helper = FindHelperProgram(self.parent_path(), command.Program, InstalledHelpersFromBin());
  if (helper.Path.empty()) return ReportError(command.Name, helper.Problem, kExitFailure);
  const std::string program = helper.Path.string();
  std::vector<char*> args;
  args.push_back(const_cast<char*>(program.c_str()));
  for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
  args.push_back(nullptr);
  std::fflush(stdout);
  ::execv(program.c_str(), args.data());
  return ReportError(command.Name, "cannot start " + program + ": " + std::strerror(errno), kExitFailure);
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

int ReportError(const std::string& name, const std::string& message, int code) {
  std::fprintf(stderr, "firnadesk-cli %s: %s\n", name.c_str(), support::TerminalText(message, 1024).c_str());
  return code;
}

int PrintUsage(const std::string& name, const std::string& problem) {
  if (!problem.empty())
    std::fprintf(stderr, "firnadesk-cli %s: %s\n", name.c_str(), support::TerminalText(problem, 512).c_str());
  const Command* command = FindCommand(name);
  std::fprintf(stderr, "usage: firnadesk-cli %s %s\n", name.c_str(), command ? command->Usage.c_str() : "");
  return kExitUsage;
}

}  // namespace fd::cli
