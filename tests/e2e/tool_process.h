#pragma once

// Runs a program with pipes on its standard input, output and error, for tests that drive a tool
// the way an operator's terminal or a script would.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

namespace fd::testing {

class ToolProcess {
 public:
  explicit ToolProcess(const std::vector<std::string>& argv) {
    int in[2], out[2], err[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(in[0], STDIN_FILENO);
      ::dup2(out[1], STDOUT_FILENO);
      ::dup2(err[1], STDERR_FILENO);
      for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) ::close(fd);
      std::vector<char*> args;
      for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      ::execv(args[0], args.data());
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    stdin_ = in[1];
    stdout_ = out[0];
    stderr_ = err[0];
  }

  ~ToolProcess() {
    CloseInput();
    if (pid_ > 0 && !exited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (stdout_ >= 0) ::close(stdout_);
    if (stderr_ >= 0) ::close(stderr_);
  }

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }

  void Send(const std::string& line) {
    const std::string text = line + "\n";
    if (stdin_ >= 0) (void)!::write(stdin_, text.data(), text.size());
  }
  void CloseInput() {
    if (stdin_ >= 0) ::close(stdin_);
    stdin_ = -1;
  }

  // Reads standard output until it holds `text` at or after position `from` (true) or timeoutMs
  // passed (false).
  bool WaitForOutput(const std::string& text, size_t from = 0, int timeoutMs = 3000) {
    return WaitFor(stdout_, out_, text, from, timeoutMs);
  }
  size_t OutputMark() const { return out_.size(); }
  bool WaitForError(const std::string& text, int timeoutMs = 3000) {
    return WaitFor(stderr_, err_, text, 0, timeoutMs);
  }
  // The first complete line of standard output, waiting up to timeoutMs.
  std::string FirstLine(int timeoutMs = 3000) {
    WaitFor(stdout_, out_, "\n", 0, timeoutMs);
    return out_.substr(0, out_.find('\n'));
  }
  const std::string& Output() const { return out_; }
  const std::string& Error() const { return err_; }

  // Waits for the exit and returns the exit code (-1 after a time-out or a signal).
  int Wait(int timeoutMs = 3000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
      Collect(stdout_, out_, 10);
      Collect(stderr_, err_, 0);
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        while (Collect(stdout_, out_, 0)) {
        }
        while (Collect(stderr_, err_, 0)) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
    }
    return -1;
  }

 private:
  static bool Collect(int fd, std::string& into, int timeoutMs) {
    if (fd < 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return false;
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) return false;
    into.append(buffer, static_cast<size_t>(n));
    return true;
  }
  static bool WaitFor(int fd, std::string& into, const std::string& text, size_t from, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (into.size() < from || into.find(text, from) == std::string::npos) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      Collect(fd, into, 10);
    }
    return true;
  }

  pid_t pid_ = -1;
  bool exited_ = false;
  int stdin_ = -1, stdout_ = -1, stderr_ = -1;
  std::string out_, err_;
};

// A path in the test's temporary folder, apart for each run of the test program.
inline std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "firnadesk-e2e-" + std::to_string(::getpid()) + "-" + name;
}

// Writes `bytes` to TempPath(name) and returns that path.
inline std::string WriteFile(const std::string& name, const std::string& bytes) {
  const std::string path = TempPath(name);
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

inline bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The fire log a running firnadesk-bench prints for "log", whole: the "mark" after it has come back.
// The bench serves the line from a thread of its own, and on a loaded machine the last frame a
// program wrote may still be on its way: the log is asked for again until it stands still.
inline std::string BenchFireLog(ToolProcess& bench) {
  auto ask = [&bench] {
    const size_t from = bench.OutputMark();
    bench.Send("log");
    bench.Send("mark");
    bench.WaitForOutput("mark at", from, 5000);
    const std::string answer = bench.Output().substr(from);
    return answer.substr(0, answer.rfind("mark at"));
  };
  std::string log = ask();
  for (int look = 0; look < 20; ++look) {
    ::usleep(100'000);
    std::string again = ask();
    if (again == log) break;
    log = std::move(again);
  }
  return log;
}

}  // namespace fd::testing
