// Scripts from show-design programs, opened by F2 or --scenario like a scenario file.
#include "app/script_loading.h"

#include "import/script_file.h"
#include "import/script_import.h"
#include "platform/platform.h"
#include "show/project_list.h"
#include "support/localizer.h"

namespace fd::app {

namespace {

void Fail(show::TProjectList& list, platform::Platform& platform, show::LoadResult result) {
  list.Clear();
  platform.ShowFailure(result.Message, support::LocalText(91, "Ошибка"), show::LoadFailureRecord(result));
}

}  // namespace

bool IsDesignScript(const std::string& path) { return import::LooksLikeScript(path); }

void LoadDesignScript(const std::string& path, show::TProjectList& list, platform::Platform& platform) {
  std::string bytes, error;
  if (!import::ReadScriptFile(path, bytes, error))
    return Fail(list, platform, show::LoadResult{show::LoadStatus::OpenFailed, 0, error, {}, {}});
  // The window has no options to give: the columns are found by their names, times are read as
  // seconds or clock times (a timecode needs its frame rate: firnadesk-cli import --fps).
  import::ImportResult imported = import::ImportScript(bytes, import::ImportSettings{});
  if (!imported.Readable) {
    const int line = imported.ProblemLine;
    return Fail(list, platform,
                show::LoadResult{show::LoadStatus::LineError, line, show::LoadErrorText(line), imported.Problem, {}});
  }
  if (!imported.BadRows.empty()) {
    const import::BadRow& bad = imported.BadRows.front();
    return Fail(list, platform,
                show::LoadResult{show::LoadStatus::LineError, bad.Line, show::LoadErrorText(bad.Line), bad.Reason, {}});
  }
  list.Assign(std::move(imported.Cues), path);
}

}  // namespace fd::app
