// firnadesk-cli import and export as the operator runs them: exit statuses, messages, the file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "show/cli_run.h"
#include "show/scenario_files.h"

namespace fd::import {
namespace {

using Outcome = fd::testing::CliOutcome;
using fd::testing::Slurp;

class ImportCliTest : public ::testing::Test {
 protected:
  Outcome Run(const std::string& arguments) { return fd::testing::RunCli(FIRNADESK_CLI, folder.Path(""), arguments); }
  bool Exists(const std::string& name) { return std::filesystem::exists(folder.Path(name)); }

  show::testing::ScenarioFolder folder;
};

const std::string kScript =
    "# design export\r\n"
    "Event Time;Module;Pin;Effect\r\n"
    "01:00:01:12;3;12;\"Peony; red\"\r\n"
    "01:00:00:00;4;2;Салют ★\r\n";

TEST_F(ImportCliTest, ImportWritesTheScenarioAndReportsItAsCheckDoes) {
  folder.Write("design.csv", kScript);
  Outcome o = Run("import design.csv --fps 25 --time-offset 01:00:00:00");
  ASSERT_EQ(o.exitCode, 0) << o.err;
  // Windows-1251, CR LF, in time order; the star has no place in the code page.
  EXPECT_EQ(Slurp(folder.Path("design.txt")),
            "0:00:00.000\t4\t2\t\xD1\xE0\xEB\xFE\xF2 ?\r\n0:00:01.480\t3\t12\tPeony; red\r\n");
  EXPECT_NE(o.out.find("Imported: design.csv (UTF-8, semicolon, header on line 2, 2 row(s)) -> design.txt"),
            std::string::npos)
      << o.out;
  EXPECT_NE(o.out.find("Columns: time \"Event Time\", console \"Module\", channel \"Pin\", comment \"Effect\""),
            std::string::npos);
  EXPECT_NE(o.out.find("Replaced: 1 character(s)"), std::string::npos);
  EXPECT_NE(o.out.find("Scenario: design.txt\nCues: 2 (channel cues 2, motion cues 0)"), std::string::npos);
  EXPECT_NE(o.err.find("warning: 1 character(s) the Windows-1251 code page cannot hold"), std::string::npos);
}

TEST_F(ImportCliTest, BadRowsAreListedAndNothingIsWrittenUnlessKeepGoing) {
  folder.Write("bad.csv", "time,console,channel\n1,1,1\n2,x,1\n3,1,999\n");
  Outcome o = Run("import bad.csv -o out.txt");
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_NE(o.err.find("firnadesk-cli import: bad.csv: line 3: the console \"x\" is not a whole number\n"),
            std::string::npos)
      << o.err;
  EXPECT_NE(o.err.find("bad.csv: line 4: the channel 999 is not 1 to 512\n"), std::string::npos);
  EXPECT_NE(o.err.find("bad.csv: 2 row(s) cannot be read; nothing written (--keep-going leaves them out)"),
            std::string::npos);
  EXPECT_FALSE(Exists("out.txt"));

  o = Run("import bad.csv -o out.txt --keep-going --json");
  EXPECT_EQ(o.exitCode, 0) << o.err;
  EXPECT_EQ(Slurp(folder.Path("out.txt")), "0:00:01.000\t1\t1\r\n");
  EXPECT_NE(o.out.find("\"left_out\": 2"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("\"cue_count\": 1"), std::string::npos) << o.out;
  EXPECT_NE(o.err.find("warning: 2 row(s) that cannot be read were left out"), std::string::npos);
}

TEST_F(ImportCliTest, UsageAndUnreadableInputsExitWithTwo) {
  folder.Write("s.csv", "time,console,channel\n1,1,1\n");
  folder.Write("noheader.csv", "# nothing\n");
  folder.Write("show.txt", "time,console,channel\n1,1,1\n");
  const struct {
    std::string args;
    std::string message;
  } cases[] = {
      {"import", "name the script file"},
      {"import s.csv --fps 27", "--fps takes 24, 25, 29.97 (drop frame) or 30"},
      {"import s.csv --time-unit h", "--time-unit takes s or ms"},
      {"import s.csv --columns speed=1", "--columns: \"speed\" is not time, console, channel or comment"},
      {"import s.csv --time-offset 01:00:00:00", "--time-offset: the time \"01:00:00:00\" is a timecode"},
      {"import s.csv --encoding KLINGON", "--encoding: \"KLINGON\" is not an encoding iconv knows"},
      {"import s.csv -o a.txt -o b.txt", "-o given twice"},
      {"import s.csv --fps 25 --fps 30", "--fps given twice"},
      {"import s.csv --encoding ''", "--encoding needs an encoding name"},
      {"import show.txt", "the scenario would overwrite the script: name it with -o"},
      {"import missing.csv", "missing.csv: cannot read the file (File not found)"},
      {"import noheader.csv", "noheader.csv: line 1: the file has no header row"},
      {"export", "name the scenario file"},
  };
  for (const auto& c : cases) {
    Outcome o = Run(c.args);
    EXPECT_EQ(o.exitCode, 2) << c.args << "\n" << o.err;
    EXPECT_NE(o.err.find(c.message), std::string::npos) << c.args << "\n" << o.err;
  }
}

TEST_F(ImportCliTest, ExportWritesACsvThatImportReadsBack) {
  folder.Write("show.txt", "1:05 7 #LT#2.5#80\r\n0:00:01.5\t3\t12\tFinal, \"big\"\r\n");
  Outcome o = Run("export show.txt");
  ASSERT_EQ(o.exitCode, 0) << o.err;
  EXPECT_EQ(
      o.out,
      "\xEF\xBB\xBFtime,console,channel,comment\r\n1.500,3,12,\"Final, \"\"big\"\"\"\r\n65.000,7,#LT#2.5#80,\r\n");
  ASSERT_EQ(Run("export show.txt -o show.csv").exitCode, 0);
  o = Run("import show.csv -o again.txt");
  ASSERT_EQ(o.exitCode, 0) << o.err;
  EXPECT_EQ(Slurp(folder.Path("again.txt")), "0:00:01.500\t3\t12\tFinal, \"big\"\r\n0:01:05.000\t7\t#LT#2.5#80\r\n");
}

}  // namespace
}  // namespace fd::import
