// The journal reader and the reports on arbitrary bytes: a journal comes from anywhere (a stick from
// another laptop, a file a crash cut short). Any bytes either read as a journal, whose report in
// text, JSON and CSV and whose timeline's layout are made without a crash, or are refused with a
// message that names the line. A resume is planned from the same bytes as a file: it either
// refuses with a reason or carries on at a cue of the scenario.
#include "journal/journal_reader.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "journal/show_resume.h"
#include "report/show_report.h"
#include "report/show_report_output.h"
#include "report/timeline_layout.h"
#include "report/work_report.h"

namespace {

// A scenario of three cues on console 1, as the seed journal cut_short.jsonl (digest "abc") names it.
fd::journal::ScenarioCues SeedScenario() {
  fd::journal::ScenarioCues cues;
  for (int i = 0; i < 3; ++i) {
    fd::journal::CueEvent cue;
    cue.line = i + 1;
    cue.console = 1;
    cue.channel = i + 1;
    cue.plannedMs = 1000 * (i + 1);
    cues.push_back(cue);
  }
  return cues;
}

void PlanResumeFrom(std::string_view text) {
  static const std::string path = "/tmp/fuzz-journal-" + std::to_string(::getpid()) + ".jsonl";
  static const fd::journal::ScenarioCues cues = SeedScenario();
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(text.data(), static_cast<std::streamsize>(text.size()));
  const fd::journal::ResumeCheck check = fd::journal::PlanResume(path, "abc", cues);
  if (!check.Offered()) {
    if (check.reason.empty()) std::abort();  // a refusal always says why
    return;
  }
  const auto& plan = check.plan;
  if (plan.nextCue < 0 || plan.nextCue > static_cast<int32_t>(cues.size()) ||
      plan.remaining != static_cast<int32_t>(cues.size()) - plan.nextCue)
    std::abort();
  // No cue the journal holds as sent is left to fire again.
  for (int32_t i = plan.nextCue; i < static_cast<int32_t>(cues.size()); ++i)
    for (const int32_t line : plan.sentLines)
      if (line == cues[static_cast<size_t>(i)].line) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  PlanResumeFrom(text);
  std::string error;
  const auto journal = fd::journal::ParseJournal(text, error);
  if (!journal) {
    if (error.empty()) std::abort();  // a refusal always says why
    return 0;
  }
  if (!error.empty() || journal->lines < 1) std::abort();
  if (fd::report::IsWorkJournal(*journal)) {
    const fd::report::WorkReport work = fd::report::BuildWorkReport(*journal, "fuzz.jsonl");
    (void)fd::report::WorkReportText(work);
    (void)fd::report::WorkReportJson(work).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    (void)fd::report::WorkReportCsv(work);
    return 0;
  }
  // The scenario is not looked up: the fuzzer must not read the files a header names.
  const fd::report::ShowReport report = fd::report::BuildShowReport(*journal, "fuzz.jsonl");
  (void)fd::report::ShowReportText(report);
  (void)fd::report::ShowReportJson(report).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  (void)fd::report::ShowReportCsv(report);
  const fd::report::TimelineLayout layout = fd::report::LayOutTimeline(report);
  // Everything lies within the picture.
  for (const fd::report::Mark& mark : layout.marks)
    if (mark.x < 0 || mark.x > layout.width || mark.y < 0 || mark.y > layout.height) std::abort();
  for (const fd::report::AxisLine& stop : layout.stops)
    if (stop.x < layout.plot.x || stop.x > layout.plot.Right()) std::abort();
  if (layout.lanes.empty() || layout.lanes.size() > static_cast<size_t>(fd::report::kMaxLanes)) std::abort();
  return 0;
}
