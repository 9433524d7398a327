// The journal's lines as a reader of the file sees them: one JSON object a line, fields by name.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "journal/journal_events.h"

namespace fd::journal {
namespace {

using Json = nlohmann::json;

TEST(JournalEvents, HeaderNamesTheFilesTheConsolesAndTheLastWrite) {
  JournalHeader header;
  header.programVersion = "2.0.0.1";
  header.scenarioPath = "/shows/Финал.txt";
  header.scenarioSha256 = std::string(64, 'a');
  header.launchMode = "direct";
  header.startMs = 1500;
  header.consoles = {{3, "165", 12.5, 98}, {7, "36B", 0, -1}};
  header.lastVerifyResult = "Сценарий проверен";
  header.lastVerifySha256 = std::string(64, 'a');
  const std::string line = HeaderLine(header);
  ASSERT_EQ(line.find('\n'), std::string::npos);
  const Json j = Json::parse(line);
  EXPECT_EQ(j["event"], "header");
  EXPECT_EQ(j["program_version"], "2.0.0.1");
  EXPECT_EQ(j["scenario"]["path"], "/shows/Финал.txt");
  EXPECT_EQ(j["scenario"]["sha256"], std::string(64, 'a'));
  EXPECT_TRUE(j["soundtrack"].is_null());
  EXPECT_EQ(j["launch_mode"], "direct");
  EXPECT_EQ(j["start_ms"], 1500);
  EXPECT_EQ(j["consoles"][1]["firmware"], "36B");
  EXPECT_EQ(j["consoles"][0]["voltage"], 12.5);
  EXPECT_EQ(j["consoles"][0]["link_quality"], 98);
  EXPECT_TRUE(j["last_write"].is_null());
  EXPECT_EQ(j["last_verify"]["result"], "Сценарий проверен");
  EXPECT_EQ(j["wall"].get<std::string>().size(), 24u);
}

TEST(JournalEvents, EachEventKindCarriesItsFields) {
  struct Case {
    std::string line;
    std::string event;
    const char* field;
    Json value;
  };
  const Case cases[] = {
      {CueLine({12, 3, 5, -1, 1000, 1001, false}), "cue_sent", "channel", 5},
      {CueLine({13, 4, -1, 52, 2000, 2000, false}), "cue_sent", "motion", 52},
      {CueLine({14, 3, 6, -1, 3000, 3025, true}), "cue_followed", "show_ms", 3025},
      {StopLine(StopSource::Operator, 500), "stop", "source", "operator"},
      {StopLine(StopSource::BusStop, 500), "stop", "source", "remote_control_or_program"},
      {StopLine(StopSource::EndOfScenario, 500), "stop", "source", "end_of_scenario"},
      {StopLine(StopSource::Converter, 500), "stop", "source", "converter"},
      {ModeLine(2), "mode", "mode", "launch"},
      {SoundtrackLine(true, 0), "soundtrack_start", "show_ms", 0},
      {ConverterLine(true), "converter_lost", "event", "converter_lost"},
      {CloseLine(9000, 42), "close", "cues_sent", 42},
  };
  for (const Case& c : cases) {
    const Json j = Json::parse(c.line);
    EXPECT_EQ(j["event"], c.event) << c.line;
    EXPECT_EQ(j[c.field], c.value) << c.line;
  }
  // Bytes that are not UTF-8 (a path from an old disk) do not cost the line.
  JournalHeader header;
  header.scenarioPath = "/shows/\xE0\xE1.txt";
  EXPECT_NO_THROW(Json::parse(HeaderLine(header)));
}

TEST(JournalEvents, FileNameIsDateTimeAndScenario) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  EXPECT_EQ(JournalFileName(1796536800, "/shows/Финал 2026.txt"), "2026-12-06_06-00-00_Финал_2026.jsonl");
  EXPECT_EQ(JournalFileName(0, "dir/a:b"), "1970-01-01_00-00-00_a_b.jsonl");
  EXPECT_EQ(JournalFileName(0, "/shows/"), "1970-01-01_00-00-00_scenario.jsonl");
}

}  // namespace
}  // namespace fd::journal
