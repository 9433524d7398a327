#include "cli_search.h"

#include <set>

#include "cli_command.h"
#include "cli_stop_signal.h"
#include "show/preflight_checks.h"

namespace fd::cli {

std::string ProgressBar(int percent) {
  constexpr int kWidth = 30;
  const int filled = percent < 0 ? 0 : percent > 100 ? kWidth : percent * kWidth / 100;
  // Filled in place: GCC 12 at -O3 takes "[" + std::string(...) for an overlapping copy.
  std::string bar(kWidth + 2, ' ');
  bar.front() = '[';
  bar.back() = ']';
  bar.replace(1, static_cast<size_t>(filled), static_cast<size_t>(filled), '#');
  return bar;
}

std::vector<int> ScenarioConsoles(const show::TProjectList& list) {
  std::set<int> consoles;
  for (const devices::CueRecord& cue : list.Cues()) consoles.insert(cue.Console);
  return {consoles.begin(), consoles.end()};
}

std::vector<int> MissingConsoles(const show::TProjectList& list, const devices::TControls& controls) {
  return show::CheckUnconnected(list.Cues(), controls).Numbers;
}

std::string ConsolesText(const std::vector<int>& ids) {
  std::string text = ids.size() == 1 ? "console " : "consoles ";
  for (size_t i = 0; i < ids.size(); ++i) text += (i ? ", " : "") + std::to_string(ids[i]);
  return text;
}

SearchOutcome SearchBus(CliBus& bus, const char* name, const std::vector<int>* consoles) {
  StopSignals stop;
  const auto stopped = [] { return StopSignals::Requested(); };
  if (consoles) {
    bus.SearchListed(*consoles, stopped);
  } else {
    ProgressLine progress;
    const bool searched = bus.Search(
        1,
        [&](int, int address, int percent) {
          progress.Show(std::string(name) + ": searching " + ProgressBar(percent) + " address " +
                        std::to_string(address));
        },
        stopped);
    progress.Clear();
    if (!searched && !stopped()) {
      ReportError(name, "the search did not finish in time", kExitFailure);
      return SearchOutcome::Failed;
    }
  }
  bus.Controls().SortByID();
  return stopped() ? SearchOutcome::Stopped : SearchOutcome::Done;
}

}  // namespace fd::cli
