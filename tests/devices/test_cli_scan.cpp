// firnadesk-cli scan as an operator runs it: the built program on the in-process bench, its
// text and JSON reports, and its answers to bad options.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <set>

#include "cli_expectations.h"
#include "cli_json.h"
#include "e2e/tool_process.h"
#include "mini_json.h"
#include "platform/virtual_platform.h"
#include "sim/bench.h"
#include "sim/bench_file.h"

namespace fd::cli {
namespace {

using fd::testing::ExpectedDevice;
using fd::testing::JsonReader;
using fd::testing::JsonValue;
using fd::testing::ToolProcess;

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

CliRun Cli(std::vector<std::string> args) {
  args.insert(args.begin(), FIRNADESK_CLI);
  ToolProcess tool(args);
  CliRun run;
  run.status = tool.Wait(60'000);
  run.out = tool.Output();
  run.err = tool.Error();
  return run;
}

sim::BenchConfig DefaultBench() {
  platform::VirtualClock clock;
  return sim::Bench::LoadDefault(clock)->Config();
}

std::string WriteBench(const std::string& name, const std::string& text) {
  const std::string path = ::testing::TempDir() + "firnadesk-cli-" + std::to_string(::getpid()) + "-" + name;
  std::ofstream(path) << text;
  return path;
}

// Rows for peers come in the order they answered; compare everything else in order.
void ExpectTextMatches(const std::string& report, const std::vector<ExpectedDevice>& expected) {
  const auto rows = fd::testing::TableRows(report);
  ASSERT_EQ(rows.size(), expected.size()) << report;
  std::set<std::string> peerRows;
  std::set<std::string> peersExpected;
  for (size_t i = 0; i < rows.size(); ++i) {
    const ExpectedDevice& e = expected[i];
    const auto& c = rows[i].cells;
    ASSERT_EQ(c.size(), 12u) << report;
    if (e.id == 255) {
      peerRows.insert(c[0] + " " + rows[i].software);
      peersExpected.insert(e.idText + " " + std::to_string(e.software) + " " + e.softwareText);
      EXPECT_EQ(c[1], "TSoftControl");
      continue;
    }
    SCOPED_TRACE(e.idText);
    EXPECT_EQ(c[0], e.idText);
    EXPECT_EQ(c[1], e.cls);
    EXPECT_EQ(c[2], e.version);
    EXPECT_EQ(c[3], e.letter);
    EXPECT_EQ(c[4], e.channels);
    EXPECT_EQ(c[5], e.voltage);
    EXPECT_EQ(c[6], e.aux);
    EXPECT_EQ(c[7], e.status);
    EXPECT_EQ(c[8], e.link);
    EXPECT_EQ(c[9], std::to_string(e.repeat));
    EXPECT_EQ(c[10], "0") << "the converter it answered on";
    EXPECT_EQ(c[11], "0") << "its last exchange succeeded";
  }
  EXPECT_EQ(peerRows, peersExpected);
}

void ExpectJsonMatches(const std::string& document, const std::vector<ExpectedDevice>& expected, int passes) {
  JsonValue root;
  std::string error;
  ASSERT_TRUE(JsonReader::Parse(document, root, error)) << error << "\n" << document;
  EXPECT_TRUE(root["simulated"].boolean);
  EXPECT_EQ(root["passes"].number, passes);
  const auto& devices = root["devices"].items;
  ASSERT_EQ(devices.size(), expected.size()) << document;
  std::set<std::string> peers;
  std::set<std::string> peersExpected;
  for (size_t i = 0; i < devices.size(); ++i) {
    const JsonValue& d = devices[i];
    const ExpectedDevice& e = expected[i];
    EXPECT_EQ(d["id"].number, e.id);
    EXPECT_EQ(d["class"].text, e.cls);
    EXPECT_EQ(d["converter"].number, 0);
    EXPECT_EQ(d["last_result"].number, 0);
    EXPECT_EQ(d["repeat_mode"].number, e.repeat);
    if (e.id == 255) {
      peers.insert(d["instance_hex"].text + " " + std::to_string(static_cast<int>(d["software_kind"].number)) + " " +
                   d["software"].text);
      peersExpected.insert(e.idText.substr(4) + " " + std::to_string(e.software) + " " + e.softwareText);
      continue;
    }
    SCOPED_TRACE(e.idText);
    EXPECT_EQ(d["version"].text, e.version);
    if (e.channels == "-") {
      EXPECT_FALSE(d.Has("channel_count"));
      continue;
    }
    if (e.letter == "-") {
      EXPECT_EQ(d["type_letter"].type, JsonValue::Type::Null);
    } else {
      EXPECT_EQ(d["type_letter"].text, e.letter);
    }
    EXPECT_EQ(std::to_string(static_cast<int>(d["channel_count"].number)), e.channels);
    EXPECT_EQ(fd::testing::Volts(d["voltage"].number), e.voltage);
    EXPECT_EQ(fd::testing::Volts(d["aux_voltage"].number), e.aux);
    if (e.status == "-") {
      EXPECT_EQ(d["status_bit"].type, JsonValue::Type::Null);
    } else {
      EXPECT_EQ(std::to_string(static_cast<int>(d["status_bit"].number)), e.status);
    }
    EXPECT_EQ(std::to_string(static_cast<int>(d["link_quality"].number)) + "%", e.link);
  }
  EXPECT_EQ(peers, peersExpected);
}

TEST(CliScan, ListsTheDefaultBench) {
  const auto expected = fd::testing::ExpectedFor(DefaultBench());
  ASSERT_FALSE(expected.empty());
  const CliRun run = Cli({"scan", "--simulate"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Virtual RS485 bench (default bench); 1 pass"), std::string::npos) << run.out;
  ExpectTextMatches(run.out, expected);
  EXPECT_TRUE(run.err.empty()) << "no progress line without a terminal: " << run.err;
}

TEST(CliScan, ListsTheDefaultBenchAsJson) {
  const auto expected = fd::testing::ExpectedFor(DefaultBench());
  const CliRun run = Cli({"scan", "--json", "--simulate", "--passes", "2"});
  ASSERT_EQ(run.status, 0) << run.err;
  ExpectJsonMatches(run.out, expected, 2);
}

TEST(CliScan, ListsPeersRemoteAndRadioOfABenchFile) {
  const std::string bench =
      WriteBench("peers.bench",
                 "converters 1\n"
                 "remote version 0A3\n"
                 "console 9 version 151 letter none channels 12 aux 11.0 voltage 23.5 confirm 3C\n"
                 "console 120 version 36B letter R channels 8 aux 500.5\n"
                 "radio 241 version 1A0\n"
                 // Answer delays drawn from these seeds: 11 and 55 ms, so
                 // that both answers reach the program in the first pass.
                 "peer 10 version 3 seed 5\n"
                 "peer 20 version 7 seed 47\n");
  std::string error;
  const auto config = sim::LoadBenchFile(bench, error);
  ASSERT_TRUE(config) << error;
  const auto expected = fd::testing::ExpectedFor(*config);

  const CliRun text = Cli({"scan", "--simulate=" + bench});
  ASSERT_EQ(text.status, 0) << text.err;
  ExpectTextMatches(text.out, expected);
  EXPECT_NE(text.out.find("255:0A"), std::string::npos);
  EXPECT_NE(text.out.find("3 Расширенное ПО управления"), std::string::npos);
  EXPECT_NE(text.out.find("7 Неизвестное ПО"), std::string::npos);

  const CliRun json = Cli({"scan", "--simulate=" + bench, "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  ExpectJsonMatches(json.out, expected, 1);
  ::unlink(bench.c_str());
}

TEST(CliScan, AnEmptyBusSaysSo) {
  const std::string bench = WriteBench("empty.bench", "converters 1\n");
  const CliRun text = Cli({"scan", "--simulate=" + bench});
  EXPECT_EQ(text.status, 0);
  EXPECT_NE(text.out.find("No devices found."), std::string::npos) << text.out;
  const CliRun json = Cli({"scan", "--json", "--simulate=" + bench});
  JsonValue root;
  std::string error;
  ASSERT_TRUE(JsonReader::Parse(json.out, root, error)) << error << json.out;
  EXPECT_TRUE(root["devices"].items.empty());
  ::unlink(bench.c_str());
}

TEST(CliScan, BadOptionsAndMissingConvertersExitWithStatus2) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"scan", "--bogus"}, "unknown option \"--bogus\""},
      {{"scan", "--passes"}, "--passes needs a number"},
      {{"scan", "--passes", "0"}, "--passes takes a number"},
      {{"scan", "--passes=x"}, "--passes takes a number"},
      {{"scan", "--simulate", "--port", "/dev/null"}, "give one of --simulate and --port"},
      {{"scan", "--port"}, "--port needs a device path"},
      {{"scan", "--simulate="}, "--simulate= needs a bench file"},
      {{"scan", "--port", "/nonexistent/ttyUSB9"}, "cannot open the serial device /nonexistent/ttyUSB9"},
      {{"scan", "--simulate=/nonexistent/x.bench"}, "/nonexistent/x.bench"},
      {{"frobnicate"}, "unknown command \"frobnicate\""},
      {{}, "usage: firnadesk-cli COMMAND"},
  };
  for (const Case& c : cases) {
    const CliRun run = Cli(c.args);
    SCOPED_TRACE(c.message);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
  }
  const CliRun usage = Cli({"scan", "--bogus"});
  EXPECT_NE(usage.err.find("usage: firnadesk-cli scan [--simulate[=BENCH] | --port PATH] [--passes N] [--json]"),
            std::string::npos);
}

TEST(CliJson, StringsAreEscapedAndAlwaysValid) {
  struct Case {
    std::string in;
    std::string out;
  } cases[] = {
      {"plain", "\"plain\""},
      {"a\"b\\c", "\"a\\\"b\\\\c\""},
      {"tab\tnl\ncr\r", "\"tab\\tnl\\ncr\\r\""},
      {std::string("nul\0x", 5), "\"nul\\u0000x\""},
      // Control characters escaped; DEL needs no escape in JSON. Bytes that are not UTF-8 become
      // U+FFFD itself (one for a sequence cut short).
      {"\x01\x1F\x7F", "\"\\u0001\\u001f\x7F\""},
      {"ПДУ(Р)", "\"ПДУ(Р)\""},
      {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},                  // overlong
      {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},  // surrogate
      {"ok\xFF", "\"ok\xEF\xBF\xBD\""},
      {"\xE2\x82", "\"\xEF\xBF\xBD\""},  // cut short
      {"\xF0\x9F\x8E\x86", "\"\xF0\x9F\x8E\x86\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(JsonString(c.in), c.out);
    JsonValue v;
    std::string error;
    EXPECT_TRUE(JsonReader::Parse(JsonString(c.in), v, error)) << error;
  }
  EXPECT_EQ(JsonChar('P'), "\"P\"");
  EXPECT_EQ(JsonChar('"'), "\"\\\"\"");
  EXPECT_EQ(JsonChar('\x05'), "\"\\u0005\"");
  EXPECT_EQ(JsonChar('\xD0'), "\"\xC3\x90\"");  // U+00D0 in UTF-8
  EXPECT_EQ(JsonNumber(24.2), "24.2");
  EXPECT_EQ(JsonNumber(-12), "-12");
  EXPECT_EQ(JsonNumber(3302.4), "3302.4");
  EXPECT_EQ(JsonNumber(std::nan("")), "null");
  EXPECT_EQ(JsonNumber(1.0 / 0.0), "null");
}

}  // namespace
}  // namespace fd::cli
