#include "app/startup_environment.h"

#include "journal/records_place.h"
#include "support/run_log.h"

namespace fd::app {

StartupEnvironment StartupEnvironment::Default() {
  StartupEnvironment env;
  env.ProgramFolder = support::ProgramFolder();
  env.StateFolder = journal::StateFolder();
  env.Now = [] { return std::time(nullptr); };
  return env;
}

}  // namespace fd::app
