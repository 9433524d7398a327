// export, then import, gives the same cues; the scenario import writes loads back to them too.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "import/scenario_text.h"
#include "import/script_export.h"
#include "import/script_import.h"
#include "show/project_list.h"
#include "show/sample_show.h"
#include "show/scenario_files.h"

namespace fd::import {
namespace {

using devices::CueRecord;

// Everything a cue carries into the consoles and onto the screen, the file line aside.
std::string Fields(const CueRecord& c) {
  std::string text = c.TimeText + "|" + std::to_string(c.TimeMs) + "|" + std::to_string(c.Console) + "|" +
                     std::to_string(c.CueKind) + "|" + c.Comment;
  if (c.CueKind == devices::ChannelCue) return text + "|" + std::to_string(c.Channel);
  return text + "|" + std::to_string(c.Param1) + "|" + std::to_string(c.Param2);
}

void ExpectSameCues(const std::vector<CueRecord>& a, const std::vector<CueRecord>& b, bool withTimeText = true) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    CueRecord x = a[i], y = b[i];
    if (!withTimeText) x.TimeText = y.TimeText = "";
    if (Fields(x) != Fields(y)) {
      ADD_FAILURE() << "cue " << i << ": " << Fields(x) << " != " << Fields(y);
      return;
    }
  }
}

// Loads scenario bytes with the program's own loader.
std::vector<CueRecord> LoadScenario(const std::string& bytes) {
  show::testing::ScenarioFolder folder;
  show::TProjectList list;
  const show::LoadResult r = list.LoadFromFile(folder.Write("round.txt", bytes));
  EXPECT_TRUE(r.Ok()) << r.Message << " " << r.Reason;
  return list.Cues();
}

// count cues on ten consoles and 16 channels, some motion cues and texts among them, times
// across the day boundary and below zero.
std::vector<CueRecord> GeneratedShow(size_t count) {
  std::string scenario;
  scenario.reserve(count * 32);
  char line[96];
  for (size_t i = 0; i < count; ++i) {
    const long ms = static_cast<long>(i) * 97 - 1000;
    const char* target = i % 50 == 7 ? "#LT#2.5#80" : i % 50 == 9 ? "#r#33" : nullptr;
    std::snprintf(line, sizeof line, "%s\t%zu\t", ScenarioTimeText(static_cast<int32_t>(ms)).c_str(), 1 + i % 10);
    scenario += line;
    if (target)
      scenario += target;
    else
      scenario += std::to_string(1 + (i / 10) % 16);
    if (i % 3 == 0) scenario += "\tcue \xD1\xE0\xEB\xFE\xF2 " + std::to_string(i);  // "Салют" in Windows-1251
    scenario += "\r\n";
  }
  return LoadScenario(scenario);
}

void RoundTrip(const std::vector<CueRecord>& cues) {
  const std::string csv = ExportScript(cues);
  const ImportResult imported = ImportScript(csv, ImportSettings{});
  ASSERT_TRUE(imported.Readable) << imported.Problem;
  ASSERT_TRUE(imported.BadRows.empty()) << imported.BadRows.front().Line << ": " << imported.BadRows.front().Reason;
  EXPECT_EQ(imported.Encoding, "UTF-8 with BOM");
  // The scenario's own time texts ("1:30", "90") become the import's; the times stay.
  ExpectSameCues(cues, imported.Cues, false);
  // What import writes, our loader reads back to exactly the cues import made.
  ExpectSameCues(imported.Cues, LoadScenario(ScenarioFileBytes(imported.Cues)));
}

TEST(ScriptRoundTrip, TheSampleShowComesBackWhole) { RoundTrip(show::MakeSampleShow().Cues); }

TEST(ScriptRoundTrip, AGeneratedShowComesBackWhole) {
  // A million cues in the Release build's figures run (FIRNADESK_ROUND_TRIP_CUES=1000000); fewer
  // here, where the sanitizer builds run this too.
  const char* wanted = std::getenv("FIRNADESK_ROUND_TRIP_CUES");
  const size_t count = wanted ? std::strtoul(wanted, nullptr, 10) : 20000;
  const std::vector<CueRecord> cues = GeneratedShow(count);
  ASSERT_EQ(cues.size(), count);
  const auto start = std::chrono::steady_clock::now();
  RoundTrip(cues);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  std::printf("export, import, write and reload of %zu cues: %lld ms\n", count, static_cast<long long>(ms.count()));
}

}  // namespace
}  // namespace fd::import
