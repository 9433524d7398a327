#pragma once

#include <QString>
#include <ctime>
#include <functional>
#include <string>

namespace fd::app {

class ConverterSource;

// Where the main window finds the outside world at start-up: the folder beside which the run log
// lives, the settings store of the colour scheme and today's date. The program uses Default();
// tests point these at temporary places.
struct StartupEnvironment {
  std::string ProgramFolder;  // with its trailing separator; the run logs go into its logs/
  // Where the records go when the program folder cannot be written ($XDG_STATE_HOME/firnadesk/).
  std::string StateFolder;
  QString SettingsOrganization = QStringLiteral("tollwick");
  QString SettingsApplication = QStringLiteral("firnadesk");
  std::function<std::time_t()> Now;
  // The converter chosen on the command line, made by the program entry (which reports a bad
  // bench file before any window opens). Without one the window makes its own from the options.
  ConverterSource* Converter = nullptr;

  static StartupEnvironment Default();
};

}  // namespace fd::app
