#pragma once

#include <string>
#include <vector>

namespace fd::cli {

// Exit statuses shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the command ran and found a failure
inline constexpr int kExitUsage = 2;    // bad options, or nothing to talk to (no converter)

// A command gets the arguments after its name.
using CommandFn = int (*)(const std::vector<std::string>& args);

struct Command {
  std::string Name;
  std::string Usage;    // options after the name, e.g. "[--json]"
  std::string Summary;  // one line for the command list
  CommandFn Run = nullptr;
};

// Every command file registers itself with one static object:
//   static const fd::cli::CommandRegistration kScan{"scan", "[--json]", "list the devices", &RunScan};
struct CommandRegistration {
  CommandRegistration(std::string name, std::string usage, std::string summary, CommandFn run);
};

// Registered commands, sorted by name.
std::vector<Command> Commands();
const Command* FindCommand(const std::string& name);

// "usage: firnadesk-cli NAME USAGE" on standard error; returns kExitUsage.
int PrintUsage(const std::string& name, const std::string& problem = {});

}  // namespace fd::cli
