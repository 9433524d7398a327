// firnadesk-cli import: a firing script from a show-design program (delimited text with a header
// row) written as a scenario file, then reported as check reports it.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "cli_command.h"
#include "cli_file_output.h"
#include "cli_json.h"
#include "cli_output.h"
#include "cli_scenario_args.h"
#include "cli_scenario_report.h"
#include "devices/cue_record.h"
#include "import/scenario_text.h"
#include "import/script_file.h"
#include "import/script_import.h"
#include "import/text_decoding.h"
#include "show/project_list.h"
#include "show/scenario_report.h"
#include "support/terminal_text.h"

namespace fd::cli {
namespace {

constexpr const char* kName = "import";
// Past this many, the rows that cannot be read are counted rather than listed on the terminal.
constexpr size_t kListedBadRows = 50;

struct ImportArgs {
  std::vector<std::string> paths;
  std::string path;
  std::vector<std::string> outputs;
  std::string output;
  std::string columns, fps, timeUnit, timeOffset, encoding;
  bool json = false;
  bool keepGoing = false;
  import::ImportSettings settings;
};

std::string DefaultOutput(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return (hasExtension ? path.substr(0, dot) : path) + ".txt";
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ColumnsText(const import::ColumnMap& map) {
  std::string text;
  for (size_t k = 0; k < import::kColumnCount; ++k) {
    if (map.Index[k] < 0) continue;
    if (!text.empty()) text += ", ";
    text += std::string(import::ColumnName(static_cast<import::Column>(k))) + " \"" +
            support::TerminalText(map.Header[k], 64) + "\"";
  }
  return text;
}

Json ImportJson(const ImportArgs& args, const import::ImportResult& r, bool written) {
  Json o;
  o["source"] = args.path;
  o["output"] = written ? Json(args.output) : Json(nullptr);
  o["encoding"] = r.Encoding;
  o["invalid_bytes"] = r.InvalidBytes;
  o["delimiter"] = import::DelimiterName(r.Delimiter);
  o["header_line"] = r.HeaderLine;
  Json columns = Json::object();
  for (size_t k = 0; k < import::kColumnCount; ++k)
    if (r.Columns.Index[k] >= 0)
      columns[import::ColumnName(static_cast<import::Column>(k))] = {{"column", r.Columns.Index[k] + 1},
                                                                     {"header", r.Columns.Header[k]}};
  o["columns"] = columns;
  o["rows"] = r.Rows;
  o["cues"] = r.Cues.size();
  o["left_out"] = written ? r.BadRows.size() : 0;
  o["replaced_characters"] = r.Replaced;
  Json bad = Json::array();
  for (const import::BadRow& row : r.BadRows) bad.push_back({{"line", row.Line}, {"reason", row.Reason}});
  o["bad_rows"] = bad;
  return o;
}

void ListBadRows(const ImportArgs& args, const import::ImportResult& r) {
  const std::string where = support::TerminalPath(args.path) + ": ";
  for (size_t i = 0; i < r.BadRows.size() && i < kListedBadRows; ++i)
    ReportError(kName, where + "line " + std::to_string(r.BadRows[i].Line) + ": " + r.BadRows[i].Reason, 0);
  if (r.BadRows.size() > kListedBadRows)
    ReportError(kName, where + "... and " + std::to_string(r.BadRows.size() - kListedBadRows) + " more", 0);
}

int RunImport(const ImportArgs& args) {
  std::string bytes, error;
  if (!import::ReadScriptFile(args.path, bytes, error))
    return ReportError(kName, support::TerminalPath(args.path) + ": cannot read the file (" + error + ")", kExitUsage);
  import::ImportResult result = import::ImportScript(bytes, args.settings);
  std::string().swap(bytes);
  if (!result.Readable)
    return ReportError(
        kName,
        support::TerminalPath(args.path) + ": line " + std::to_string(result.ProblemLine) + ": " + result.Problem,
        kExitUsage);
  if (result.InvalidBytes > 0)
    ReportError(kName,
                support::TerminalPath(args.path) + ": warning: " + std::to_string(result.InvalidBytes) +
                    std::string(" byte sequence(s) are not ") + result.Encoding + " text and were read as \"?\"",
                0);
  ListBadRows(args, result);
  if (!result.BadRows.empty() && !args.keepGoing) {
    if (args.json) {
      Print("{\n");
      PrintMember("path", args.path);
      PrintMember("imported", false);
      PrintMember("import", ImportJson(args, result, false), true);
      Print("}\n");
    }
    return ReportError(kName,
                       support::TerminalPath(args.path) + ": " + std::to_string(result.BadRows.size()) +
                           " row(s) cannot be read; nothing written (--keep-going leaves them out)",
                       kExitFailure);
  }

  // The file in time order, as the loader will hold it; equal times keep the script's order.
  devices::SortCuesByTime(result.Cues);
  if (!WriteFileWhole(args.output, import::ScenarioFileBytes(result.Cues), error))
    return ReportError(kName, support::TerminalText(error, 512), kExitFailure);

  // The report is of the file as the loader reads it back, exactly as check would give it.
  show::TProjectList list;
  const show::LoadResult loaded = list.LoadFromFile(args.output);
  if (!loaded.Ok())
    return ReportError(kName, support::TerminalPath(args.output) + ": " + LoadFailureText(loaded), kExitFailure);
  show::ScenarioSummary summary = show::SummarizeScenario(list.Cues());
  AddTimeWarnings(list.Cues(), summary);
  if (args.keepGoing && !result.BadRows.empty())
    ReportError(kName,
                support::TerminalPath(args.path) + ": warning: " + std::to_string(result.BadRows.size()) +
                    " row(s) that cannot be read were left out",
                0);
  if (result.Replaced > 0)
    ReportError(kName,
                support::TerminalPath(args.path) + ": warning: " + std::to_string(result.Replaced) +
                    " character(s) the Windows-1251 code page cannot hold were written as \"?\"",
                0);

  if (args.json) {
    Json leading;
    leading["imported"] = true;
    leading["import"] = ImportJson(args, result, true);
    PrintJsonReport(args.output, loaded, list, summary, nullptr, &leading);
    return kExitOk;
  }
  std::string out = std::string("Imported: ") + support::TerminalText(BaseName(args.path)) + " (" + result.Encoding +
                    ", " + import::DelimiterName(result.Delimiter) + ", header on line " +
                    std::to_string(result.HeaderLine) + ", " + std::to_string(result.Rows) + " row(s)) -> " +
                    support::TerminalPath(args.output) + "\n";
  out += std::string("Columns: ") + ColumnsText(result.Columns) + "\n";
  if (!result.BadRows.empty())
    out += std::string("Left out: ") + std::to_string(result.BadRows.size()) + " row(s) that cannot be read\n";
  if (result.Replaced > 0)
    out += std::string("Replaced: ") + std::to_string(result.Replaced) +
           " character(s) the Windows-1251 code page cannot hold, written as \"?\"\n";
  Print(out + TextReport(list, summary, nullptr));
  return kExitOk;
}

// The option values, read once the parser is done; a non-empty answer is a usage error.
std::string CheckImportArgs(ImportArgs& args) {
  if (args.paths.empty()) return "name the script file";
  if (args.paths.size() > 1) return "one script file at a time";
  args.path = args.paths.front();
  if (args.outputs.size() > 1) return "-o given twice";
  if (args.outputs.size() == 1) {
    if (args.outputs.front().empty()) return "-o needs a file name";
    args.output = args.outputs.front();
  }
  if (!args.columns.empty() && !import::ParseColumnsOption(args.columns, args.settings.Columns, args.columns))
    return args.columns;
  import::RowRules& rules = args.settings.Rows;
  if (!args.fps.empty()) {
    const auto fps = import::FrameRateFromText(args.fps);
    if (!fps) return "--fps takes 24, 25, 29.97 (drop frame) or 30";
    rules.Time.Fps = *fps;
  }
  if (!args.timeUnit.empty()) {
    if (args.timeUnit != "s" && args.timeUnit != "ms") return "--time-unit takes s or ms";
    rules.Time.Unit = args.timeUnit == "ms" ? import::TimeUnit::Milliseconds : import::TimeUnit::Seconds;
  }
  if (!args.timeOffset.empty()) {
    std::string reason;
    if (!import::ParseScriptTime(args.timeOffset, rules.Time, rules.OffsetMs, reason))
      return std::string("--time-offset: ") + reason;
    rules.HasOffset = true;
  }
  if (!args.encoding.empty()) {
    if (!import::EncodingKnown(args.encoding))
      return std::string("--encoding: \"") + args.encoding + "\" is not an encoding iconv knows";
    args.settings.Encoding = args.encoding;
  }
  if (args.output.empty()) {
    args.output = DefaultOutput(args.path);
    if (args.output == args.path) return "the scenario would overwrite the script: name it with -o";
  }
  return {};
}

Runner SetUpImport(CommandLine& line) {
  auto args = std::make_shared<ImportArgs>();
  CLI::App& app = line.App();
  app.add_option("FILE", args->paths, "the script: delimited text with a header row");
  CLI::Option* output =
      app.add_option("-o,--output", args->outputs, "the scenario file (default: FILE as .txt)")->type_name("OUT");
  line.Needs(output, "a file name");
  app.add_flag("--json", args->json, "the import and the scenario report as one JSON document");
  line.Needs(
      app.add_option("--columns", args->columns, "time=N|NAME,console=...,channel=...,comment=...")->type_name("MAP"),
      "a column map");
  line.Needs(app.add_option("--fps", args->fps, "frame rate of HH:MM:SS:FF times: 24, 25, 29.97, 30")->type_name("N"),
             "a frame rate");
  line.Needs(app.add_option("--time-unit", args->timeUnit, "plain numbers in the time column: s (default) or ms")
                 ->type_name("s|ms"),
             "s or ms");
  line.Needs(
      app.add_option("--time-offset", args->timeOffset, "subtracted from every time (01:00:00:00)")->type_name("TIME"),
      "a time");
  line.Needs(app.add_option("--encoding", args->encoding,
                            "encoding of a file that is not UTF-8 or UTF-16 (default Windows-1252, or "
                            "Windows-1251 when it reads as Cyrillic)")
                 ->type_name("NAME"),
             "an encoding name");
  app.add_flag("--keep-going", args->keepGoing, "leave out the rows that cannot be read instead of writing nothing");
  line.Check([args] { return CheckImportArgs(*args); });
  return [args] { return RunImport(*args); };
}

const CommandRegistration kImport{kName,
                                  "FILE [-o OUT] [--json] [--columns MAP] [--fps N] [--time-unit s|ms] "
                                  "[--time-offset TIME] [--encoding NAME] [--keep-going]",
                                  "turn a show-design firing script (CSV) into a scenario", &SetUpImport};

}  // namespace
}  // namespace fd::cli
