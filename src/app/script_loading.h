#pragma once

#include <string>

namespace fd::platform {
class Platform;
}
namespace fd::show {
class TProjectList;
}

namespace fd::app {

// F2 and --scenario take a show-design script (a ".csv", or a ".txt" with a header row) as well as
// a scenario.
bool IsDesignScript(const std::string& path);

// Imports the script in memory by its column names and loads its cues into the list as a
// scenario's. Whatever cannot be read leaves the list empty and is shown as a scenario's fault is:
// "Ошибка загрузки сценария (строка: N)." naming the input line, the reason in the run log.
void LoadDesignScript(const std::string& path, show::TProjectList& list, platform::Platform& platform);

}  // namespace fd::app
