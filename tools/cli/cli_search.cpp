#include "cli_search.h"

#include <set>

#include "cli_command.h"

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

bool SearchBus(CliBus& bus, const char* name, const std::vector<int>* consoles) {
  if (consoles) {
    bus.SearchListed(*consoles);
  } else {
    ProgressLine progress;
    const bool searched = bus.Search(1, [&](int, int address, int percent) {
      progress.Show(std::string(name) + ": searching " + ProgressBar(percent) + " address " + std::to_string(address));
    });
    progress.Clear();
    if (!searched) {
      ReportError(name, "the search did not finish in time", kExitFailure);
      return false;
    }
  }
  bus.Controls().SortByID();
  return true;
}

}  // namespace fd::cli
