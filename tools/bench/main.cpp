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
#include <new>
#include <string>

#include "bench_commands.h"
#include "bench_server.h"
#include "platform/steady_clock.h"
#include "sim/bench.h"
#include "support/terminal_text.h"

namespace {

constexpr const char* kUsage = "usage: firnadesk-bench [BENCH] [--link PATH]\n";

// Exit statuses, the same as firnadesk-cli's.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;  // bad usage, or a bench file that cannot be read or used

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
          return kExitUsage;
        }
        options.linkPath = argv[++i];
      } else {
        options.linkPath = arg.substr(7);
      }
      if (options.linkPath.empty() || options.linkPath[0] == '-') {
        Fail(options.linkPath.empty() ? "--link needs a path"
                                      : "--link needs a path, not the option \"" + options.linkPath + "\"");
        return kExitUsage;
      }
    } else if (!arg.empty() && arg[0] == '-') {
      Fail("unknown option " + arg);
      std::cerr << kUsage;
      return kExitUsage;
    } else if (benchGiven) {
      Fail("only one bench file, please (got " + options.benchPath + " and " + arg + ")");
      return kExitUsage;
    } else {
      options.benchPath = arg;
      benchGiven = true;
    }
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
