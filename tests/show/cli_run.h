#pragma once

// firnadesk-cli run as the operator runs it, from a shell: its exit status and what it printed.
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace fd::testing {

struct CliOutcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs `program arguments` in folder (a path ending in "/"), its output caught in files there.
inline CliOutcome RunCli(const std::string& program, const std::string& folder, const std::string& arguments) {
  const std::string out = folder + "stdout.txt", err = folder + "stderr.txt";
  const std::string command =
      "cd '" + folder + "' && '" + program + "' " + arguments + " >'" + out + "' 2>'" + err + "'";
  const int status = std::system(command.c_str());
  CliOutcome o;
  o.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  o.out = Slurp(out);
  o.err = Slurp(err);
  return o;
}

}  // namespace fd::testing
