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

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <iostream>
#include <memory>
#include <new>
#include <string>

#include "bench_commands.h"
#include "bench_server.h"
#include "platform/steady_clock.h"
#include "sim/bench.h"
#include "support/exit_status.h"
#include "support/terminal_text.h"

namespace {

using fd::support::kExitFailure;
using fd::support::kExitOk;
using fd::support::kExitUsage;

constexpr const char* kUsage = "usage: firnadesk-bench [BENCH] [--link PATH]\n";

// A command line longer than this cannot be a command: it is refused and skipped up to its end.
constexpr size_t kMaxCommandLine = 4096;

// Messages may quote the bench file or standard input: nothing of it reaches the terminal raw.
void Fail(const std::string& message) {
  std::cerr << "firnadesk-bench: " << fd::support::TerminalText(message, 1024) << "\n";
}

struct Options {
  std::string benchPath;
  std::string linkPath;
};

// 0 to go on, -1 to end with success (help), otherwise the exit code.
int ParseOptions(int argc, char** argv, Options& options) {
  CLI::App app{"serves a virtual bench on a pseudo-terminal for --port; commands on standard input", "firnadesk-bench"};
  // Leftovers are told in this program's words below, not the parser's.
  app.allow_extras();
  app.footer(
      "exit status: 0 success, 1 the bench failed (its pseudo-terminal, its output), 2 bad usage or a bench file\n"
      "that cannot be read or used");
  app.add_option("BENCH", options.benchPath, "a bench file (the shipped bench without one)");
  app.add_option("--link", options.linkPath, "a symlink kept pointing at the pseudo-terminal")
      ->type_name("PATH")
      ->check(CLI::Validator(
          [](std::string& value) -> std::string {
            if (value.empty()) return "--link needs a path";
            if (value[0] == '-') return "--link needs a path, not the option \"" + value + "\"";
            return {};
          },
          "", "path"));
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help();
    return -1;
  } catch (const CLI::ArgumentMismatch&) {
    Fail("--link needs a path");
    return kExitUsage;
  } catch (const CLI::ValidationError& e) {
    std::string message = e.what();
    const size_t colon = message.find(": ");
    if (colon != std::string::npos && message.compare(0, 2, "--") == 0) message.erase(0, colon + 2);
    Fail(message);
    return kExitUsage;
  } catch (const CLI::ParseError& e) {
    Fail(e.what());
    std::cerr << kUsage;
    return kExitUsage;
  }
  for (const std::string& extra : app.remaining()) {
    if (!extra.empty() && extra[0] == '-')
      Fail("unknown option " + extra);
    else
      Fail("only one bench file, please (got " + options.benchPath + " and " + extra + ")");
    std::cerr << kUsage;
    return kExitUsage;
  }
  return 0;
}

// Reads commands from standard input as they come: only the bytes of the last read are searched for
// a line break, and a line is never kept beyond kMaxCommandLine.
class CommandReader {
 public:
  template <typename RunLine>
  void Take(const char* bytes, size_t count, RunLine runLine) {
    for (size_t i = 0; i < count; ++i) {
      const char c = bytes[i];
      if (c != '\n') {
        if (pending_.size() < kMaxCommandLine)
          pending_ += c;
        else
          overlong_ = true;
        continue;
      }
      Finish(runLine);
    }
  }
  template <typename RunLine>
  void Finish(RunLine runLine) {
    if (overlong_) {
      Fail("a command line longer than " + std::to_string(kMaxCommandLine) + " bytes was skipped");
    } else {
      if (!pending_.empty() && pending_.back() == '\r') pending_.pop_back();
      runLine(pending_);
    }
    pending_.clear();
    overlong_ = false;
  }
  bool Empty() const { return pending_.empty() && !overlong_; }

 private:
  std::string pending_;
  bool overlong_ = false;
};

int Serve(const Options& options) {
  fd::platform::SteadyClock clock;
  std::string error;
  // Read before SIGINT and SIGTERM are taken over below: a bench file that never ends (a pipe, a
  // device) must stay interruptible, and its reading stops at the size limit anyway.
  std::unique_ptr<fd::sim::Bench> bench = fd::sim::MakeSimulatedBench(options.benchPath, clock, error);
  if (!bench) {
    Fail(error.empty() ? "the default bench cannot be built" : error);
    return kExitUsage;
  }

  // Signals are read like input, so that the fire log is printed whatever ends the bench.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  const int signalFd = ::signalfd(-1, &signals, SFD_CLOEXEC);

  fd::tools::BenchServer server(*bench, options.linkPath);
  if (!server.Start(error)) {
    Fail(error);
    if (signalFd >= 0) ::close(signalFd);
    return kExitFailure;
  }
  std::cout << server.SlavePath() << std::endl;

  fd::tools::BenchCommands commands(
      *bench, {[&](std::string& e) { return server.Unplug(e); }, [&](std::string& e) { return server.Replug(e); },
               [&] { return server.SlavePath(); }});

  CommandReader reader;
  bool quit = false;
  auto runLine = [&](const std::string& line) {
    if (quit) return;
    const fd::tools::CommandOutcome outcome = commands.Run(line);
    if (!outcome.output.empty()) std::cout << outcome.output << std::flush;
    if (!outcome.error.empty()) Fail(outcome.error);
    if (outcome.quit) quit = true;
  };

  while (!quit) {
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {signalFd, POLLIN, 0}};
    const int ready = ::poll(fds, signalFd >= 0 ? 2 : 1, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (signalFd >= 0 && (fds[1].revents & POLLIN)) break;
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) {
      char buffer[1024];
      const ssize_t n = (fds[0].revents & POLLNVAL) ? 0 : ::read(STDIN_FILENO, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        if (!reader.Empty()) reader.Finish(runLine);
        break;
      }
      reader.Take(buffer, static_cast<size_t>(n), runLine);
    }
  }

  server.Stop();
  std::cout << fd::tools::BenchReport(*bench) << std::flush;
  if (signalFd >= 0) ::close(signalFd);
  if (!std::cout) {
    std::cerr << "firnadesk-bench: cannot write the output\n";
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  ::signal(SIGPIPE, SIG_IGN);
  try {
    Options options;
    if (const int code = ParseOptions(argc, argv, options); code != 0) return code < 0 ? kExitOk : code;
    return Serve(options);
  } catch (const std::bad_alloc&) {
    std::cerr << "firnadesk-bench: not enough memory\n";
  } catch (const std::exception& e) {
    std::cerr << "firnadesk-bench: " << e.what() << "\n";
  }
  return kExitFailure;
}
