// firnadesk-cli: the bus tools of the console without its window.
#include <cstdio>
#include <string>
#include <vector>

#include "cli_command.h"

namespace {

void PrintCommandList(std::FILE* out) {
  std::fprintf(out, "usage: firnadesk-cli COMMAND [OPTIONS]\n\ncommands:\n");
  for (const fd::cli::Command& c : fd::cli::Commands())
    std::fprintf(out, "  %-8s %s\n           %s %s\n", c.Name.c_str(), c.Summary.c_str(), c.Name.c_str(),
                 c.Usage.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintCommandList(stderr);
    return fd::cli::kExitUsage;
  }
  const std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintCommandList(stdout);
    return fd::cli::kExitOk;
  }
  const fd::cli::Command* command = fd::cli::FindCommand(name);
  if (command == nullptr) {
    std::fprintf(stderr, "firnadesk-cli: unknown command \"%s\"\n", name.c_str());
    PrintCommandList(stderr);
    return fd::cli::kExitUsage;
  }
  const std::vector<std::string> args(argv + 2, argv + argc);
  return command->Run(args);
}
