#include "support/run_log_name.h"

#include <sys/stat.h>

#include "support/numbers.h"

namespace fd::support {

namespace {

std::string SafeDateText(const std::string& date) {
  std::string safe = date;
  for (char& c : safe) {
    if (c == '/' || c == '\\' || c == '\0') c = '.';
  }
  return safe;
}

// Anything at all under that name (a file, a folder, a dangling link) takes the number.
bool NameTaken(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

std::string RunLogFileName(const std::string& programFolder, const std::string& shortDate) {
  std::string base = programFolder;
  if (!base.empty() && base.back() != '/') base += '/';
  base += "logs/" + SafeDateText(shortDate) + "_";
  for (int64_t n = 0;; ++n) {
    std::string name = base + NumberText(n) + ".log";
    if (!NameTaken(name)) return name;
  }
}

}  // namespace fd::support
