// firnadesk-bench: serves a virtual bench on a pseudo-terminal, so that the operator program (or
// anything else that talks to a serial port) can be pointed at it with --port.
//
//   firnadesk-bench [BENCH] [--link PATH]
//
// The first line of standard output is the pseudo-terminal's path. Commands are read from standard
// input, one per line (see `help`); the fire log is printed when the bench shuts down: on `quit`,
// at the end of input, or on SIGINT/SIGTERM.

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "bench_commands.h"
#include "bench_server.h"
#include "platform/steady_clock.h"
#include "sim/bench.h"

namespace {

constexpr const char* kUsage = "usage: firnadesk-bench [BENCH] [--link PATH]\n";

void Fail(const std::string& message) { std::cerr << "firnadesk-bench: " << message << "\n"; }

struct Options {
  std::string benchPath;
  std::string linkPath;
};

// 0 to go on, otherwise the exit code.
int ParseOptions(int argc, char** argv, Options& options) {
  bool benchGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      return -1;
    }
    if (arg == "--link" || arg.rfind("--link=", 0) == 0) {
      if (arg == "--link") {
        if (i + 1 >= argc) {
          Fail("--link needs a path");
          return 2;
        }
        options.linkPath = argv[++i];
      } else {
        options.linkPath = arg.substr(7);
      }
      if (options.linkPath.empty()) {
        Fail("--link needs a path");
        return 2;
      }
    } else if (!arg.empty() && arg[0] == '-') {
      Fail("unknown option " + arg);
      std::cerr << kUsage;
      return 2;
    } else if (benchGiven) {
      Fail("only one bench file, please (got " + options.benchPath + " and " + arg + ")");
      return 2;
    } else {
      options.benchPath = arg;
      benchGiven = true;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const int code = ParseOptions(argc, argv, options); code != 0) return code < 0 ? 0 : code;

  // Signals are read like input, so that the fire log is printed whatever ends the bench.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  const int signalFd = ::signalfd(-1, &signals, SFD_CLOEXEC);

  fd::platform::SteadyClock clock;
  std::string error;
  std::unique_ptr<fd::sim::Bench> bench = fd::sim::MakeSimulatedBench(options.benchPath, clock, error);
  if (!bench) {
    Fail(error.empty() ? "the default bench cannot be built" : error);
    return 1;
  }

  fd::tools::BenchServer server(*bench, options.linkPath);
  if (!server.Start(error)) {
    Fail(error);
    return 1;
  }
  std::cout << server.SlavePath() << std::endl;

  fd::tools::BenchCommands commands(
      *bench, {[&](std::string& e) { return server.Unplug(e); }, [&](std::string& e) { return server.Replug(e); },
               [&] { return server.SlavePath(); }});

  std::string pending;
  bool quit = false;
  bool inputOpen = true;
  auto runLine = [&](const std::string& line) {
    const fd::tools::CommandOutcome outcome = commands.Run(line);
    if (!outcome.output.empty()) std::cout << outcome.output << std::flush;
    if (!outcome.error.empty()) Fail(outcome.error);
    if (outcome.quit) quit = true;
  };

  while (!quit && inputOpen) {
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {signalFd, POLLIN, 0}};
    const int ready = ::poll(fds, signalFd >= 0 ? 2 : 1, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (signalFd >= 0 && (fds[1].revents & POLLIN)) break;
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      char buffer[1024];
      const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
      if (n <= 0) {
        inputOpen = false;
        if (!pending.empty()) runLine(pending);
        break;
      }
      pending.append(buffer, static_cast<size_t>(n));
      for (size_t end; !quit && (end = pending.find('\n')) != std::string::npos;) {
        std::string line = pending.substr(0, end);
        pending.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        runLine(line);
      }
    }
  }

  server.Stop();
  std::cout << fd::tools::BenchReport(*bench) << std::flush;
  if (signalFd >= 0) ::close(signalFd);
  return 0;
}
