#pragma once

#include <functional>
#include <string>

#include "sim/bench.h"

namespace fd::tools {

// What a command line did: text for standard output, an error for standard error, and whether the
// bench should shut down.
struct CommandOutcome {
  std::string output;
  std::string error;
  bool quit = false;
};

// The bench operator's commands, one per line:
//   unplug | replug | off N | on N | remote-stop | peer-query [INSTANCE] | peer-stop [INSTANCE] |
//   log | help | quit
class BenchCommands {
 public:
  struct Plug {
    std::function<bool(std::string& error)> unplug;
    std::function<bool(std::string& error)> replug;
    std::function<std::string()> slavePath;
  };

  BenchCommands(sim::Bench& bench, Plug plug) : bench_(bench), plug_(std::move(plug)) {}

  CommandOutcome Run(const std::string& line);

  static const char* const kHelp;

 private:
  sim::Bench& bench_;
  Plug plug_;
};

// The fire log as printed by `log` and at exit, followed by the state answers the peers heard.
std::string BenchReport(sim::Bench& bench);

}  // namespace fd::tools
