// firnadesk-cli on a serial line another program holds, and stopped while it searches:
// firnadesk-bench serves the default bench on a pseudo-terminal in real time, where a full search
// takes about 18 s, long enough to be interrupted.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "tool_process.h"

namespace fd {
namespace {

using fd::testing::ToolProcess;
using Clock = std::chrono::steady_clock;

const bool kDummyAudio = (::setenv("SDL_AUDIODRIVER", "dummy", 1), true);

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class CliOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kDummyAudio);
    const std::string base = ::testing::TempDir() + "firnadesk-port-" + std::to_string(::getpid());
    link_ = base + "-link";
    scenario_ = base + "-show.txt";
    // Consoles 1 and 2 are on the default bench.
    std::ofstream(scenario_) << "1 1 1\n2 2 3\n";
    bench_ = std::make_unique<ToolProcess>(std::vector<std::string>{FIRNADESK_BENCH_TOOL, "--link", link_});
    ASSERT_TRUE(bench_->Started());
    ASSERT_EQ(bench_->FirstLine().rfind("/dev/pts/", 0), 0u) << bench_->Error();
  }
  void TearDown() override {
    bench_->Send("quit");
    bench_->Wait(5000);
    ::unlink(scenario_.c_str());
  }

  // argv for firnadesk-cli with "$PORT" and "$SCENARIO" filled in.
  std::vector<std::string> Cli(const std::vector<std::string>& args) const {
    std::vector<std::string> argv{FIRNADESK_CLI};
    for (const std::string& a : args) argv.push_back(a == "$PORT" ? link_ : a == "$SCENARIO" ? scenario_ : a);
    return argv;
  }

  std::string link_, scenario_;
  std::unique_ptr<ToolProcess> bench_;
};

TEST_F(CliOnPty, APortAnotherProgramHoldsIsRefusedAtOnceNamingIt) {
  // Three passes of the search keep the port for a minute.
  ToolProcess holder(Cli({"scan", "--port", "$PORT", "--passes", "3"}));
  ASSERT_TRUE(holder.Started());
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const std::string inUse = "in use by another program: firnadesk-cli (pid " + std::to_string(holder.Pid()) + ")";
  const std::vector<std::vector<std::string>> commands = {
      {"scan", "--port", "$PORT"},
      {"check", "$SCENARIO", "--port", "$PORT"},
      {"test", "--port", "$PORT", "--console", "1"},
      {"write", "$SCENARIO", "--port", "$PORT"},
      {"rehearse", "$SCENARIO", "--port", "$PORT"},
  };
  for (const auto& args : commands) {
    SCOPED_TRACE(args.front());
    const auto start = Clock::now();
    ToolProcess second(Cli(args));
    EXPECT_EQ(second.Wait(5000), 2);
    EXPECT_LT(MsSince(start), 2000);
    EXPECT_NE(second.Error().find("cannot open the serial device " + link_ + ": " + inUse), std::string::npos)
        << second.Error();
  }
  // The port is free again once its holder ends.
  ::kill(holder.Pid(), SIGINT);
  EXPECT_EQ(holder.Wait(3000), 1) << holder.Error();
  ToolProcess after(Cli({"write", "$SCENARIO", "--port", "$PORT", "--verify"}));
  EXPECT_EQ(after.Wait(30000), 0) << after.Error();
  EXPECT_EQ(after.Output(), "write: OK\nverify: OK\n");
}

TEST_F(CliOnPty, ASignalDuringTheSearchEndsTheCommandAtOnce) {
  struct Case {
    std::vector<std::string> args;
    int signal;
    std::string message;  // on standard error
    std::string stopped;  // in the JSON document on standard output; empty: no --json
  } cases[] = {
      {{"scan", "--port", "$PORT", "--json"}, SIGINT, "stopped by the operator", "/stopped"},
      {{"scan", "--port", "$PORT"}, SIGTERM, "stopped by the operator: the search did not finish", ""},
      {{"test", "--port", "$PORT", "--json"}, SIGTERM, "console(s) found", "/summary/stopped"},
      {{"write", "$SCENARIO", "--port", "$PORT", "--full-search", "--json"},
       SIGINT,
       "stopped by the operator during the search: nothing was written",
       "/stopped_in_search"},
      {{"check", "$SCENARIO", "--port", "$PORT"},
       SIGTERM,
       "stopped by the operator during the search: nothing was checked on the bus",
       ""},
      {{"verify", "$SCENARIO", "--port", "$PORT", "--full-search"},
       SIGTERM,
       "stopped by the operator during the search: nothing was verified",
       ""},
      {{"rehearse", "$SCENARIO", "--port", "$PORT", "--full-search", "--json"},
       SIGINT,
       "stopped by the operator during the search, before the show",
       "/summary/stopped_before_show"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front() + " " + c.args.back());
    ToolProcess run(Cli(c.args));
    ASSERT_TRUE(run.Started());
    // Well inside the sweep of 256 addresses.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const auto signalled = Clock::now();
    ::kill(run.Pid(), c.signal);
    EXPECT_EQ(run.Wait(5000), 1) << run.Error();
    EXPECT_LT(MsSince(signalled), 1500);
    EXPECT_NE(run.Error().find(c.message), std::string::npos) << run.Error();
    if (!c.stopped.empty()) {
      const nlohmann::json document = nlohmann::json::parse(run.Output(), nullptr, false);
      ASSERT_FALSE(document.is_discarded()) << run.Output();
      EXPECT_EQ(document.at(nlohmann::json::json_pointer(c.stopped)), true) << run.Output();
    }
  }
}

}  // namespace
}  // namespace fd
