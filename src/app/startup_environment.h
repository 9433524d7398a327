#pragma once

#include <QString>
#include <ctime>
#include <functional>
#include <string>

namespace fd::app {

// Where the main window finds the outside world at start-up: the folder beside which the run log
// lives, the settings store of the colour scheme and today's date. The program uses Default();
// tests point these at temporary places.
struct StartupEnvironment {
  std::string ProgramFolder;  // with its trailing separator; the run logs go into its logs/
  QString SettingsOrganization = QStringLiteral("tollwick");
  QString SettingsApplication = QStringLiteral("firnadesk");
  std::function<std::time_t()> Now;

  static StartupEnvironment Default();
};

}  // namespace fd::app
