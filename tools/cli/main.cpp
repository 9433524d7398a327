// firnadesk-cli: the bus tools of the console without its window.
#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "cli_command.h"
#include "cli_output.h"
#include "support/terminal_text.h"

namespace {

using fd::cli::kExitFailure;
using fd::cli::kExitOk;
using fd::cli::kExitUsage;

void PrintCommandList(std::FILE* out) {
  std::fprintf(out, "usage: firnadesk-cli COMMAND [OPTIONS]\n\ncommands:\n");
  // Each command as its usage line with the summary indented below it: the layout of an option
  // list, which the manual page (help2man) keeps apart too.
  for (const fd::cli::Command& c : fd::cli::Commands())
    std::fprintf(out, "  %s %s\n        %s\n", c.Name.c_str(), c.Usage.c_str(), c.Summary.c_str());
  std::fprintf(out,
               "\nexit status: 0 success, 1 the operation failed (a device, a difference, a scenario fault),\n"
               "2 bad usage or an input that cannot be read, 3 no converter\n");
}

// The option a "needs a value" complaint of the parser is about: "--port: 1 required TEXT missing".
std::string OptionOf(const std::string& message) { return message.substr(0, message.find(':')); }

int RunCommand(const fd::cli::Command& command, int argc, char** argv) {
  if (!command.Program.empty()) return fd::cli::RunInHelper(command, argc, argv);
  CLI::App app{command.Summary, "firnadesk-cli " + command.Name};
  // Leftovers are told in this program's words below, not the parser's.
  app.allow_extras();
  fd::cli::CommandLine line(app, std::vector<std::string>(argv + 1, argv + argc));
  const fd::cli::Runner run = command.Setup(line);
  if (std::string problem = line.CheckArguments(); !problem.empty()) return fd::cli::PrintUsage(command.Name, problem);
  try {
    // argv[0] is the command's name here: the parser takes the first argument as the program.
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::printf("%s", app.help().c_str());
    return kExitOk;
  } catch (const CLI::ArgumentMismatch& e) {
    return fd::cli::PrintUsage(command.Name, line.NeedsText(OptionOf(e.what())));
  } catch (const CLI::ValidationError& e) {
    // "--passes: --passes takes a number ..." : the validator's own words are enough.
    std::string message = e.what();
    const size_t colon = message.find(": ");
    if (colon != std::string::npos && message.compare(0, 2, "--") == 0) message.erase(0, colon + 2);
    return fd::cli::PrintUsage(command.Name, message);
  } catch (const CLI::ParseError& e) {
    return fd::cli::PrintUsage(command.Name, e.what());
  }
  const std::vector<std::string> extras = app.remaining();
  if (!extras.empty()) {
    const std::string& first = extras.front();
    return fd::cli::PrintUsage(command.Name, (!first.empty() && first[0] == '-' ? "unknown option \""
                                                                                : "unexpected "
                                                                                  "argument "
                                                                                  "\"") +
                                                 first + "\"");
  }
  if (std::string problem = line.RunChecks(); !problem.empty()) return fd::cli::PrintUsage(command.Name, problem);
  return run();
}

int Main(int argc, char** argv) {
  if (argc < 2) {
    PrintCommandList(stderr);
    return kExitUsage;
  }
  const std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintCommandList(stdout);
    return kExitOk;
  }
  const fd::cli::Command* command = fd::cli::FindCommand(name);
  if (command == nullptr) {
    std::fprintf(stderr, "firnadesk-cli: unknown command \"%s\"\n", fd::support::TerminalText(name, 64).c_str());
    PrintCommandList(stderr);
    return kExitUsage;
  }
  return RunCommand(*command, argc - 1, argv + 1);
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that went away is a write error below, not a silent death.
  std::signal(SIGPIPE, SIG_IGN);
  int code = kExitFailure;
  try {
    code = Main(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "firnadesk-cli: not enough memory\n");
    return kExitFailure;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "firnadesk-cli: %s\n", e.what());
    return kExitFailure;
  }
  if (!fd::cli::FinishOutput()) return kExitFailure;
  return code;
}
