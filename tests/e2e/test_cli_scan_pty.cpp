// firnadesk-cli scan over a real serial line: firnadesk-bench serves the default bench on a
// pseudo-terminal and the command line searches it with --port, in real time (one pass, about
// half a minute).

#include <gtest/gtest.h>
#include <unistd.h>

#include "devices/cli_expectations.h"
#include "platform/virtual_platform.h"
#include "sim/bench.h"
#include "tool_process.h"

namespace fd {
namespace {

using fd::testing::ToolProcess;

TEST(CliScanOverPty, ListsTheDefaultBenchServedByTheBenchTool) {
  platform::VirtualClock clock;
  const auto expected = fd::testing::ExpectedFor(sim::Bench::LoadDefault(clock)->Config());

  const std::string link = ::testing::TempDir() + "firnadesk-cli-scan-" + std::to_string(::getpid());
  ToolProcess bench({FIRNADESK_BENCH_TOOL, "--link", link});
  ASSERT_TRUE(bench.Started());
  const std::string slave = bench.FirstLine();
  ASSERT_EQ(slave.rfind("/dev/pts/", 0), 0u) << slave << bench.Error();

  ToolProcess cli({FIRNADESK_CLI, "scan", "--port", link});
  ASSERT_TRUE(cli.Started());
  ASSERT_EQ(cli.Wait(120'000), 0) << cli.Error();
  const std::string& report = cli.Output();
  EXPECT_NE(report.find("Bus: " + link + "; 1 pass"), std::string::npos) << report;

  const auto rows = fd::testing::TableRows(report);
  ASSERT_EQ(rows.size(), expected.size()) << report;
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto& c = rows[i].cells;
    const auto& e = expected[i];
    ASSERT_EQ(c.size(), 12u) << report;
    SCOPED_TRACE(e.idText);
    EXPECT_EQ(c[0], e.idText);
    EXPECT_EQ(c[1], e.cls);
    EXPECT_EQ(c[2], e.version);
    EXPECT_EQ(c[4], e.channels);
    EXPECT_EQ(c[5], e.voltage);
    EXPECT_EQ(c[7], e.status);
    EXPECT_EQ(c[9], std::to_string(e.repeat));
    EXPECT_EQ(c[10], "0");
  }

  bench.Send("quit");
  EXPECT_EQ(bench.Wait(5000), 0);
}

}  // namespace
}  // namespace fd
