// firnadesk-cli report and rehearse --plot, run as the operator runs them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "journal_texts.h"
#include "show/cli_run.h"
#include "show/scenario_files.h"
#include "support/sha256.h"

namespace fd::report {
namespace {

using fd::testing::CliOutcome;
using fd::testing::Slurp;

const std::string kPngMagic = "\x89PNG\r\n\x1a\n";
// The scenario of DirectShow() with one more cue, on line 6, that the show never reached.
const std::string kScenario = "1 1 1\n2 1 2\n\n3 2 5\n4 2 6\n5 2 7\n";

class ReportCli : public ::testing::Test {
 protected:
  CliOutcome Run(const std::string& arguments) {
    return fd::testing::RunCli(FIRNADESK_CLI, folder.Path(""), "report " + arguments);
  }
  // The direct show's journal, naming the scenario in this folder with its digest.
  std::string ShowJournal() {
    const std::string scenario = folder.Write("finale.txt", kScenario);
    std::string journal = fd::testing::DirectShow();
    journal.replace(journal.find("/shows/finale.txt"), 17, scenario);
    journal.replace(journal.find(R"("sha256":"abc")"), 14, R"("sha256":")" + support::Sha256Hex(kScenario) + "\"");
    return folder.Write("show.jsonl", journal);
  }
  show::testing::ScenarioFolder folder;
};

TEST_F(ReportCli, AShowAsTextCsvJsonAndPicture) {
  const std::string journal = ShowJournal();
  struct Case {
    const char* options;
    std::vector<std::string> pieces;
  } cases[] = {
      {"",
       {"Show report: " + journal + "\n",
        "     6        2  channel 7    0:00:05.000   -                      not sent: the show stopped first\n",
        "  cues sent: 4, followed: 0, skipped: 0, not sent: 1\n", "  lateness: p50 4 ms, p99 60 ms, max 60 ms\n"}},
      {"--csv",
       {"line,console,channel,motion,planned_ms,show_ms,lateness_ms,status,reason\n"
        "1,1,1,,1000,1004,4,sent,\n2,1,2,,2000,2012,12,sent,\n4,2,5,,3000,3060,60,sent,\n"
        "5,2,6,,4000,4000,0,sent,\n6,2,7,,5000,,,not sent,the show stopped first\n"}},
  };
  for (const Case& c : cases) {
    const CliOutcome o = Run(std::string(c.options) + " '" + journal + "'");
    EXPECT_EQ(o.exitCode, 0) << c.options << o.err;
    for (const std::string& piece : c.pieces)
      EXPECT_NE(o.out.find(piece), std::string::npos) << c.options << "\n" << o.out;
  }
  const CliOutcome json = Run("--json '" + journal + "'");
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const nlohmann::json doc = nlohmann::json::parse(json.out);
  EXPECT_EQ(doc["summary"]["cues_not_sent"], 1);
  EXPECT_EQ(doc["summary"]["lateness_max_ms"], 60);
  EXPECT_EQ(doc["scenario"]["matched"], true);
  EXPECT_EQ(doc["cues"].size(), 5u);

  const CliOutcome png = Run("'" + journal + "' --png timeline.png");
  EXPECT_EQ(png.exitCode, 0) << png.err;
  EXPECT_EQ(Slurp(folder.Path("timeline.png")).substr(0, 8), kPngMagic);
  EXPECT_NE(png.err.find("picture: timeline.png\n"), std::string::npos) << png.err;
  // A picture is of a show only.
  const std::string write = folder.Write("w.jsonl", fd::testing::HeaderLine("write") + fd::testing::CloseLine(0, 0));
  const CliOutcome refused = Run("'" + write + "' --png w.png");
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_EQ(refused.err, "firnadesk-cli report: " + write + ": --png draws a show; this is the journal of a write\n");
}

TEST_F(ReportCli, WhatIsNotAJournalIsRefused) {
  const std::string header = fd::testing::HeaderLine("show");
  const struct {
    const char* name;
    std::string bytes;
    std::string reason;
  } cases[] = {
      {"text.jsonl", "hello\n", "line 1 is not a journal event"},
      {"broken.jsonl", header + "{\"event\":\"cue_sent\"\n" + fd::testing::CloseLine(0, 0),
       "line 2 is not a journal event"},
      {"headless.jsonl", fd::testing::CloseLine(0, 0), "line 1: a journal begins with its header"},
      {"empty.jsonl", "", "no journal header"},
  };
  for (const auto& c : cases) {
    const std::string path = folder.Write(c.name, c.bytes);
    const CliOutcome o = Run("'" + path + "'");
    EXPECT_EQ(o.exitCode, 2) << c.name;
    EXPECT_EQ(o.err, "firnadesk-cli report: " + path + " is not a firnadesk journal: " + c.reason + "\n") << c.name;
    EXPECT_EQ(o.out, "") << c.name;
  }
  const CliOutcome both = Run("--json --csv x.jsonl");
  EXPECT_EQ(both.exitCode, 2);
  EXPECT_NE(both.err.find("--json or --csv, not both"), std::string::npos) << both.err;
}

TEST_F(ReportCli, RehearsePlotDrawsTheRehearsal) {
  folder.Write("short.txt", "0.2 1 1\n0.4 2 3\n");
  // No sound card here: the rehearsal's audio goes nowhere.
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  const CliOutcome o = fd::testing::RunCli(FIRNADESK_CLI, folder.Path(""),
                                           "rehearse short.txt --simulate --journal-dir journal --plot rehearsal.png");
  EXPECT_EQ(o.exitCode, 0) << o.err;
  EXPECT_EQ(Slurp(folder.Path("rehearsal.png")).substr(0, 8), kPngMagic) << o.err;
  EXPECT_NE(o.err.find("picture: rehearsal.png\n"), std::string::npos) << o.err;
}

}  // namespace
}  // namespace fd::report
