// The reports of a scenario write, a verify and a channel test: what each did per console and the
// result, from the journals firnadesk-cli and the window write.
#include <gtest/gtest.h>

#include "journal_texts.h"
#include "report/work_report.h"

namespace fd::report {
namespace {

using namespace fd::testing;

TEST(WorkReport, WritesVerifiesAndChannelTestsPerConsole) {
  const struct {
    const char* name;
    std::string journal;
    std::vector<std::string> texts;  // in the text report, in this order
    std::string csvRow;
    bool ok;
  } cases[] = {
      {"write then verify from firnadesk-cli",
       HeaderLine("write") +
           Event("write", R"("pass":"write","result":"OK","code":0,"consoles":[{"console":1,"cues":3,"records":3},)"
                          R"({"console":2,"cues":1,"records":3}],"differences":[])") +
           Event("verify", R"("pass":"verify","result":"OK","code":0,)"
                           R"("consoles":[{"console":1,"cues":3,"records":3}],"differences":[])") +
           CloseLine(0, 0),
       {"Write report: /j/w.jsonl",
        "write: OK (code 0)\n  console 1: 3 cue(s), 3 record(s)\n  console 2: 1 cue(s), 3 record(s)\n",
        "verify: OK (code 0)", "\nResult: OK\n"},
       "write,2,1,3,0,OK\n",
       true},
      {"a verify that found a difference",
       HeaderLine("verify") +
           Event("verify", R"("pass":"verify","result":"the consoles hold another scenario","code":-1,)"
                           R"("consoles":[{"console":2,"cues":2,"records":2}],)"
                           R"("differences":[{"console":2,"line":7,"time_ms":3500,"cue":"channel 4"}])") +
           CloseLine(0, 0),
       {"verify: the consoles hold another scenario (code -1)",
        "  difference: console 2, line 7, 0:00:03.500, channel 4\n", "\nResult: failed\n"},
       "verify,2,2,2,-1,the consoles hold another scenario\n",
       false},
      {"the window's write, its result alone, cut short",
       HeaderLine("write") + Event("write", R"("code":-3,"result":"no reply")"),
       {"write: no reply (code -3)", "  no closing event: the write was cut short", "\nResult: cut short\n"},
       "write,,,,-3,no reply\n",
       false},
      {"a channel test with a fired channel not connected",
       HeaderLine("channel_test") +
           Event("channel_test", R"("id":3,"version":"164","channel_count":4,"completed":true,"channels":[)"
                                 R"({"channel":1,"state":"connected","used":true},)"
                                 R"({"channel":2,"state":"not connected","used":true},)"
                                 R"({"channel":3,"state":"failed","used":false},)"
                                 R"({"channel":4,"state":"connected","used":false}])") +
           CloseLine(0, 0),
       {"Channel test report: /j/w.jsonl",
        "console 3 (firmware 164, 4 channels): 2 connected, 1 not connected, 1 failed, 0 unknown; complete\n"
        "  not connected: 2\n  failed: 3\n  fired by the scenario but not ready: 2\n",
        "\nResult: failed\n"},
       "3,164,4,yes,2,1,1,0,2\n",
       false},
  };
  for (const auto& c : cases) {
    std::string error;
    const auto journal = journal::ParseJournal(c.journal, error);
    ASSERT_TRUE(journal) << c.name << ": " << error;
    ASSERT_TRUE(IsWorkJournal(*journal)) << c.name;
    const WorkReport report = BuildWorkReport(*journal, "/j/w.jsonl");
    const std::string text = WorkReportText(report);
    size_t at = 0;
    for (const std::string& piece : c.texts) {
      const size_t found = text.find(piece, at);
      EXPECT_NE(found, std::string::npos) << c.name << "\nmissing: " << piece << "\nin:\n" << text;
      if (found != std::string::npos) at = found + piece.size();
    }
    const std::string csv = WorkReportCsv(report);
    EXPECT_NE(csv.find("\n" + c.csvRow), std::string::npos) << c.name << "\n" << csv;
    EXPECT_EQ(report.ok, c.ok) << c.name;
    EXPECT_EQ(WorkReportJson(report)["ok"], c.ok) << c.name;
  }
}

}  // namespace
}  // namespace fd::report
