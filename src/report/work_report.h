#pragma once

// The report of a journal of work on the consoles rather than a show: a scenario write or verify
// (what each pass did per console, its result, the difference a verify found) and a channel test
// (what was measured per console).

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "journal/journal_reader.h"

namespace fd::report {

struct WorkConsole {
  int32_t console = 0;
  int32_t cues = 0;     // write, verify: cues handled
  int32_t records = 0;  // write, verify: memory records they take
  // channel test
  std::string version;
  int32_t channelCount = 0;
  bool completed = false;
  std::vector<int32_t> connected, notConnected, failed, unknown;  // channel numbers from 1
  std::vector<int32_t> usedFaults;  // channels the scenario fires that are not connected or failed
};

struct WorkDifference {
  int32_t console = 0;
  int32_t line = 0;
  int32_t timeMs = 0;
  std::string cue;
};

// One pass of a write or verify, or one console's channel test.
struct WorkPass {
  std::string kind;  // "write", "verify", "channel_test"
  std::string result;
  std::optional<int32_t> code;
  std::vector<WorkConsole> consoles;
  std::vector<WorkDifference> differences;
};

struct WorkReport {
  std::string journalPath;
  journal::JournalHeader header;
  std::string headerWall;
  std::vector<WorkPass> passes;
  std::vector<std::string> warnings;
  bool ok = false;  // every pass succeeded (and every test completed with no fault on a used channel)
  std::string resultText;
};

// The journal's kind is "write", "verify" or "channel_test".
bool IsWorkJournal(const journal::ReadJournal& journal);
WorkReport BuildWorkReport(const journal::ReadJournal& journal, const std::string& journalPath);

std::string WorkReportText(const WorkReport& report);
nlohmann::ordered_json WorkReportJson(const WorkReport& report);
// One row per console and pass.
std::string WorkReportCsv(const WorkReport& report);

}  // namespace fd::report
