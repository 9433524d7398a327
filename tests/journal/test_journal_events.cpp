// The journal's file name and what its header does with a name that is not UTF-8; the events
// themselves are read back in the player's and the command-line tool's tests.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "journal/journal_events.h"

namespace fd::journal {
namespace {

using Json = nlohmann::json;

// Paths come from anywhere: a byte that is not UTF-8 (a name from an old disk) must not cost the
// header its line.
TEST(JournalEvents, HeaderSurvivesANameThatIsNotUtf8) {
  JournalHeader header;
  header.scenarioPath = "/shows/\xE0\xE1.txt";
  const std::string line = HeaderLine(header);
  EXPECT_EQ(line.find('\n'), std::string::npos);
  EXPECT_EQ(Json::parse(line)["scenario"]["path"], "/shows/\uFFFD\uFFFD.txt");
}

TEST(JournalEvents, FileNameIsDateTimeAndScenario) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  EXPECT_EQ(JournalFileName(1796536800, "/shows/Финал 2026.txt"), "2026-12-06_06-00-00_Финал_2026.jsonl");
  EXPECT_EQ(JournalFileName(0, "dir/a:b"), "1970-01-01_00-00-00_a_b.jsonl");
  EXPECT_EQ(JournalFileName(0, "/shows/"), "1970-01-01_00-00-00_scenario.jsonl");
  EXPECT_EQ(JournalFileName(0, "finale.txt", "write"), "1970-01-01_00-00-00_finale_write.jsonl");
}

}  // namespace
}  // namespace fd::journal
