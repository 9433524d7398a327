#pragma once

// How firnadesk-cli's commands come to be: every command is a file that registers itself with one
// static object, declares its options on a CLI11 parser, and hands back what runs once they parse.
//
//   int RunScan(const ScanArgs& args);
//   const CommandRegistration kScan{"scan", "[--json]", "list the devices", [](CommandLine& line) {
//     auto args = std::make_shared<ScanArgs>();
//     line.App().add_flag("--json", args->json);
//     return [args] { return RunScan(*args); };
//   }};

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/exit_status.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace fd::cli {

// Exit statuses shared by every command of firnadesk-cli and by firnadesk-bench.
using support::kExitFailure;
using support::kExitNoConverter;
using support::kExitOk;
using support::kExitUsage;

// What a command declares its options on.
class CommandLine {
 public:
  CommandLine(CLI::App& app, std::vector<std::string> args) : app_(app), args_(std::move(args)) {}
  CLI::App& App() { return app_; }
  // The arguments after the command's name, as given.
  const std::vector<std::string>& Args() const { return args_; }
  // A value option missing its value is reported as "<name> needs <what>".
  void Needs(CLI::Option* option, std::string what);
  // Runs after the options parsed; a non-empty answer is a usage error.
  void Check(std::function<std::string()> check) { checks_.push_back(std::move(check)); }

  // A flag that may carry "=VALUE" (--simulate=BENCH); every other flag refuses one.
  void AllowValue(CLI::Option* flag) { valueFlags_.insert(flag); }

  std::string NeedsText(const std::string& optionName) const;
  // Before parsing: what the parser would let through, as a usage error (empty: nothing).
  std::string CheckArguments() const;
  std::string RunChecks() const;

 private:
  CLI::App& app_;
  std::vector<std::string> args_;
  std::map<std::string, std::string> needs_;
  std::vector<std::function<std::string()>> checks_;
  std::set<const CLI::Option*> valueFlags_;
};

using Runner = std::function<int()>;
using SetupFn = std::function<Runner(CommandLine& line)>;

struct Command {
  std::string Name;
  std::string Usage;    // options after the name, e.g. "[--json]"
  std::string Summary;  // one line for the command list
  SetupFn Setup;
  // A command that runs in a program of its own (it needs libraries the other commands should not
  // have to load): its arguments go to that program unparsed.
  std::string Program;
};

struct CommandRegistration {
  CommandRegistration(std::string name, std::string usage, std::string summary, SetupFn setup);
  // A command run by the helper program `program`.
  CommandRegistration(std::string name, std::string usage, std::string summary, std::string program);
};

// Runs the command `name` in its own program (see helper_program.h for where it is found) with the
// arguments after the command's name; returns only when that program cannot be started.
int RunInHelper(const Command& command, int argc, char** argv);

// Registered commands, sorted by name.
std::vector<Command> Commands();
const Command* FindCommand(const std::string& name);

// "firnadesk-cli NAME: MESSAGE" on standard error, made safe for the terminal (the message may quote
// a file); returns code.
int ReportError(const std::string& name, const std::string& message, int code);

// "usage: firnadesk-cli NAME USAGE" on standard error; returns kExitUsage.
int PrintUsage(const std::string& name, const std::string& problem = {});

}  // namespace fd::cli
