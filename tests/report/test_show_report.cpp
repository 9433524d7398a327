// The report of a show's journal: its cues, stops, timecode, converter and warnings, as the
// operator reads them, for each kind of run.
#include <gtest/gtest.h>

#include <sstream>

#include "journal_texts.h"
#include "report/show_report.h"
#include "report/show_report_output.h"

namespace fd::report {
namespace {

using namespace fd::testing;

ShowReport Report(const std::string& text, ScenarioCheck scenario = {}) {
  std::string error;
  auto journal = journal::ParseJournal(text, error);
  EXPECT_TRUE(journal) << error;
  return BuildShowReport(journal ? *journal : journal::ReadJournal{}, "/j/show.jsonl", scenario);
}

bool HasLine(const std::string& text, const std::string& line) {
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);)
    if (l == line) return true;
  return false;
}

ScenarioCheck Matched(std::vector<PlannedCue> cues) {
  ScenarioCheck check;
  check.matched = true;
  check.cues = std::move(cues);
  return check;
}

TEST(ShowReport, EachKindOfRunReadsAsTheOperatorExpects) {
  const std::string autonomous =
      HeaderLine("show", "/shows/finale.txt", "abc", "autonomous") + CueLine("cue_followed", 1, 1, 1, 1000, 1025) +
      CueLine("cue_followed", 3, 2, 2, 2000, 2050) + StopLine("end_of_scenario", 2500) + CloseLine(2500, 0);
  const std::string torn = HeaderLine("show") + CueLine("cue_sent", 1, 1, 1, 1000, 1003) +
                           CueLine("cue_sent", 2, 1, 2, 2000, 2001) + R"({"event":"cue_sent","wall":"2024-05)";
  const std::string timecode =
      HeaderLine("show", "/shows/finale.txt", "abc", "direct", 0,
                 R"(,"resumed_from":"/j/first.jsonl","timecode":{"source":"ltc:hw:1","offset":"10:00:00:00"})") +
      Event("timecode_lock", R"("show_ms":0,"rate":"25")") + CueLine("cue_sent", 1, 1, 1, 1000, 1002) +
      Event("timecode_dropout", R"("show_ms":1500)") + Event("timecode_return", R"("show_ms":2500)") +
      Event("timecode_jump", R"("show_ms":3000,"from_ms":3000,"to_ms":8000)") +
      Event("cue_skipped", R"("line":2,"console":1,"channel":2,"planned_ms":5000,"reason":"timecode_jump")") +
      Event("cue_skipped", R"("line":3,"console":7,"motion":53,"planned_ms":6000,"reason":"not_connected")") +
      Event("converter_lost", "", "2024-05-01T20:00:09.000Z") + StopLine("converter", 9000) +
      Event("converter_restored", "", "2024-05-01T20:00:10.000Z") +
      Event("timecode_summary", R"("lock_frames":10,"dropouts":1,"jumps":1,"error_samples":250,)"
                                R"("error_p50_ms":0.12,"error_p99_ms":0.48,"error_max_ms":0.9)") +
      CloseLine(9000, 1);
  const std::string stopped =
      HeaderLine("show") + CueLine("cue_sent", 1, 1, 1, 1000, 1000) + StopLine("operator", 1500) + CloseLine(1500, 1);
  const std::string lateStart = HeaderLine("show", "/s.txt", "abc", "direct", 2000) +
                                CueLine("cue_sent", 2, 1, 2, 2000, 2000) + StopLine("end_of_scenario", 2000) +
                                CloseLine(2000, 1);
  ScenarioCheck changed;
  changed.note = "the scenario /shows/finale.txt has changed since the show; the report holds what the journal holds";

  const struct {
    const char* name;
    std::string journal;
    ScenarioCheck scenario;
    std::vector<std::string> lines;  // each a whole line of the text report
  } cases[] = {
      {"direct show to its end",
       DirectShow(),
       {},
       {"     1        1  channel 1    0:00:01.000   0:00:01.004         4  sent",
        "     4        2  channel 5    0:00:03.000   0:00:03.060        60  sent", "  0:00:04.000  end_of_scenario",
        "  cues sent: 4, followed: 0, skipped: 0, not sent: 0", "  lateness: p50 4 ms, p99 60 ms, max 60 ms",
        "  ended: the scenario ended at 0:00:04.000", "Launch: direct from 0:00:00.000",
        "Consoles: 1 (firmware 151), 2 (firmware 268), 240 (firmware 105)"}},
      {"autonomous show: a motion cue the console plays from memory",
       autonomous,
       Matched({{1, 1, 1, -1, 1000}, {2, 2, -1, 53, 1500}, {3, 2, 2, -1, 2000}}),
       {"     1        1  channel 1    0:00:01.000   0:00:01.025        25  followed",
        "     2        2  motion LT    0:00:01.500   -                      from memory",
        "  cues sent: 0, followed: 2, skipped: 0, not sent: 0, motion from memory: 1",
        "  lateness: p50 25 ms, p99 50 ms, max 50 ms"}},
      {"interrupted show with a torn tail: the scenario's other cues were never sent",
       torn,
       Matched({{1, 1, 1, -1, 1000}, {2, 1, 2, -1, 2000}, {3, 2, 4, -1, 2500}}),
       {"     3        2  channel 4    0:00:02.500   -                      not sent: the show stopped first",
        "  the journal ends mid-line: the program was cut off", "  no closing event: the show was cut short",
        "  cues sent: 2, followed: 0, skipped: 0, not sent: 1",
        "  ended: cut short after 0:00:02.001 (no closing event)"}},
      {"skipped cues, timecode events and a converter loss",
       timecode,
       {},
       {"Resumed from: /j/first.jsonl", "Timecode: ltc:hw:1, offset 10:00:00:00",
        "     2        1  channel 2    0:00:05.000   -                      skipped: timecode_jump",
        "     3        7  motion LT    0:00:06.000   -                      skipped: not_connected",
        "  0:00:00.000  lock at 25 fps", "  0:00:01.500  dropout", "  0:00:02.500  return",
        "  0:00:03.000  jump from 0:00:03.000 to 0:00:08.000", "  2024-05-01T20:00:09.000Z  lost",
        "  2024-05-01T20:00:10.000Z  back", "  cues sent: 1, followed: 0, skipped: 2, not sent: 0",
        "  dropouts: 1, converter losses: 1", "  ended: stopped: the converter was lost at 0:00:09.000", "Chase",
        "  locked after 10 frames", "  dropouts: 1, jumps: 1",
        "  chase error: p50 0.120 ms, p99 0.480 ms, max 0.900 ms (250 frames)"}},
      {"stopped by the operator, the scenario changed since",
       stopped,
       changed,
       {"  " + changed.note, "  ended: stopped by the operator at 0:00:01.500"}},
      {"cues before the start are not called stopped first",
       lateStart,
       Matched({{1, 1, 1, -1, 1000}, {2, 1, 2, -1, 2000}}),
       {"     1        1  channel 1    0:00:01.000   -                      not sent: before_start",
        "  cues sent: 1, followed: 0, skipped: 0, not sent: 1"}},
  };
  for (const auto& c : cases) {
    const std::string text = ShowReportText(Report(c.journal, c.scenario));
    for (const std::string& line : c.lines)
      EXPECT_TRUE(HasLine(text, line)) << c.name << "\nno line: " << line << "\nin:\n" << text;
  }
}

TEST(ShowReport, JsonAndCsvCarryEveryCue) {
  // Closed, four cues; the second with the moment its frame went out, which its lateness is taken from.
  std::string journal = DirectShow();
  const std::string second = CueLine("cue_sent", 2, 1, 2, 2000, 2012);
  journal.insert(journal.find(second) + second.size(),
                 Event("cue_out", R"("line":2,"sent_ms":2015)", "2024-05-01T20:00:02.015Z"));
  const ShowReport report = Report(journal);
  const nlohmann::ordered_json json = ShowReportJson(report);
  EXPECT_EQ(json["kind"], "show");
  ASSERT_EQ(json["cues"].size(), 4u);
  EXPECT_EQ(
      json["cues"][1].dump(),
      R"({"line":2,"console":1,"channel":2,"planned_ms":2000,"show_ms":2012,"sent_ms":2015,"lateness_ms":15,"status":"sent","reason":null})");
  EXPECT_EQ(json["summary"]["lateness_p99_ms"], 60);
  EXPECT_EQ(json["summary"]["ended"], "the scenario ended at 0:00:04.000");
  EXPECT_EQ(json["stops"].dump(), R"([{"source":"end_of_scenario","show_ms":4000}])");
  EXPECT_TRUE(json["chase"].is_null()) << "a show on its own clock has no chase";
  EXPECT_NE(ShowReportCsv(report).find("\n4,2,5,,3000,3060,60,sent,\n"), std::string::npos) << ShowReportCsv(report);

  const ShowReport never =
      Report(HeaderLine("show") + Event("timecode_summary", R"("lock_frames":-1,"dropouts":0,"jumps":0,)"
                                                            R"("error_samples":0,"error_p50_ms":0,"error_p99_ms":0,)"
                                                            R"("error_max_ms":0)"));
  EXPECT_EQ(ShowReportJson(never)["chase"].dump(),
            R"({"lock_frames":null,"dropouts":0,"jumps":0,"error_samples":0,"error_p50_ms":0.0,"error_p99_ms":0.0,)"
            R"("error_max_ms":0.0})");
  EXPECT_TRUE(HasLine(ShowReportText(never), "  never locked")) << ShowReportText(never);

  // A reason a spreadsheet would take for a formula is quoted and defused.
  const std::string skipped =
      Event("cue_skipped", R"("line":3,"console":7,"motion":50,"planned_ms":6000,"reason":"=cmd, \"x\"")");
  EXPECT_EQ(ShowReportCsv(Report(HeaderLine("show") + skipped)),
            "line,console,channel,motion,planned_ms,show_ms,lateness_ms,status,reason\n"
            "3,7,,C,6000,,,skipped,\"'=cmd, \"\"x\"\"\"\n");
}

}  // namespace
}  // namespace fd::report
