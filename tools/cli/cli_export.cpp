// firnadesk-cli export: a scenario written as a script that show-design programs, spreadsheets
// and import read (UTF-8 CSV with a header row).
#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

#include "cli_command.h"
#include "cli_file_output.h"
#include "cli_output.h"
#include "cli_scenario_args.h"
#include "import/script_export.h"
#include "show/project_list.h"
#include "support/terminal_text.h"

namespace fd::cli {
namespace {

constexpr const char* kName = "export";

struct ExportArgs {
  std::vector<std::string> paths;
  std::vector<std::string> outputs;
};

int RunExport(const ExportArgs& args) {
  const std::string& path = args.paths.front();
  show::TProjectList list;
  const show::LoadResult loaded = list.LoadFromFile(path);
  if (!loaded.Ok())
    return ReportError(kName, support::TerminalPath(path) + ": " + LoadFailureText(loaded), LoadFailureExit(loaded));
  if (!loaded.EncodingHint.empty())
    ReportError(kName, support::TerminalPath(path) + ": warning: " + loaded.EncodingHint, 0);
  const std::string script = import::ExportScript(list.Cues());
  // Without -o the script goes to standard output, for a pipe or a redirection.
  if (args.outputs.empty()) {
    Print(script);
    return kExitOk;
  }
  std::string error;
  if (!WriteFileWhole(args.outputs.front(), script, error))
    return ReportError(kName, support::TerminalText(error, 512), kExitFailure);
  return kExitOk;
}

Runner SetUpExport(CommandLine& line) {
  auto args = std::make_shared<ExportArgs>();
  CLI::App& app = line.App();
  app.add_option("SCENARIO", args->paths, "the scenario file (Windows-1251)");
  line.Needs(app.add_option("-o,--output", args->outputs, "the CSV file (default: standard output)")->type_name("OUT"),
             "a file name");
  line.Check([args]() -> std::string {
    if (args->paths.empty()) return "name the scenario file";
    if (args->paths.size() > 1) return "one scenario file at a time";
    if (args->outputs.size() > 1) return "-o given twice";
    if (args->outputs.size() == 1 && args->outputs.front().empty()) return "-o needs a file name";
    return {};
  });
  return [args] { return RunExport(*args); };
}

const CommandRegistration kExport{kName, "SCENARIO [-o OUT.csv]",
                                  "write a scenario as a CSV script (UTF-8) that import reads back", &SetUpExport};

}  // namespace
}  // namespace fd::cli
