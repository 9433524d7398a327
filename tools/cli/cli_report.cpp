// firnadesk-cli report: what a show did, cue by cue, read back from its journal (or what a write,
// verify or channel test did); as text, JSON or CSV, and the show's timeline as a PNG.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli_command.h"
#include "cli_output.h"
#include "cli_report_usage.h"
#include "journal/journal_reader.h"
#include "report/scenario_check.h"
#include "report/show_report.h"
#include "report/show_report_output.h"
#include "report/timeline_picture.h"
#include "report/work_report.h"
#include "support/terminal_text.h"

namespace fd::cli {
namespace {

constexpr const char* kName = kReportName;

struct ReportArgs {
  std::vector<std::string> journals;
  bool json = false;
  bool csv = false;
  std::vector<std::string> pngs;
};

int DrawPicture(const report::ShowReport& show, const std::string& png) {
  std::fprintf(stderr, "firnadesk-cli %s: drawing %s\n", kName, support::TerminalPath(png).c_str());
  report::EnsureGuiApplication();
  std::string error;
  if (!report::SaveTimelinePng(show, png, error)) return ReportError(kName, error, kExitFailure);
  std::fprintf(stderr, "picture: %s\n", support::TerminalPath(png).c_str());
  return kExitOk;
}

int RunReport(const ReportArgs& args) {
  const std::string& path = args.journals.front();
  std::string error;
  const auto journal = journal::ReadJournalFile(path, error);
  if (!journal) return ReportError(kName, error, kExitUsage);
  const std::string& kind = journal->header.kind;
  if (report::IsWorkJournal(*journal)) {
    if (!args.pngs.empty())
      return ReportError(kName, path + ": --png draws a show; this is the journal of a " + kind, kExitUsage);
    const report::WorkReport work = report::BuildWorkReport(*journal, path);
    Print(args.json  ? report::WorkReportJson(work).dump(2) + "\n"
          : args.csv ? report::WorkReportCsv(work)
                     : report::WorkReportText(work));
    return kExitOk;
  }
  if (kind != "show")
    return ReportError(kName, path + ": line 1: a journal of kind \"" + kind + "\", which this program does not know",
                       kExitUsage);
  const report::ScenarioCheck scenario = report::CheckScenario(journal->header);
  const report::ShowReport show = report::BuildShowReport(*journal, path, scenario);
  Print(args.json
            ? report::ShowReportJson(show).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n"
        : args.csv ? report::ShowReportCsv(show)
                   : report::ShowReportText(show));
  if (!args.pngs.empty()) return DrawPicture(show, args.pngs.front());
  return kExitOk;
}

Runner SetUpReport(CommandLine& line) {
  auto args = std::make_shared<ReportArgs>();
  CLI::App& app = line.App();
  app.add_option("JOURNAL", args->journals, "a journal (.jsonl) of a show, a write, a verify or a channel test");
  app.add_flag("--json", args->json, "the report as one JSON document");
  app.add_flag("--csv", args->csv, "one row per cue (per console for the other journals), with a header row");
  line.Needs(app.add_option("--png", args->pngs, "draw the show's timeline into this PNG file (A4 landscape)")
                 ->type_name("FILE"),
             "a file name");
  line.Check([args]() -> std::string {
    if (args->journals.empty()) return "name the journal";
    if (args->journals.size() > 1) return "one journal at a time";
    if (args->json && args->csv) return "--json or --csv, not both";
    if (args->pngs.size() == 1 && args->pngs.front().empty()) return "--png needs a file name";
    return {};
  });
  return [args] { return RunReport(*args); };
}

const CommandRegistration kReport{kReportName, kReportUsage, kReportSummary, &SetUpReport};

}  // namespace
}  // namespace fd::cli
