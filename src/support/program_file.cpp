#include <unistd.h>

#include "support/run_log.h"

namespace fd::support {

std::string ProgramFileName() {
  try {
    std::string path(4096, '\0');
    for (;;) {
      const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
      if (n < 0) return {};
      if (static_cast<size_t>(n) < path.size()) {
        path.resize(static_cast<size_t>(n));
        return path;
      }
      path.resize(path.size() * 2);  // may have been cut: try again with more room
    }
  } catch (...) {
    return {};
  }
}

std::string ProgramFolder() {
  const std::string file = ProgramFileName();
  const size_t slash = file.rfind('/');
  if (slash == std::string::npos) return {};
  return file.substr(0, slash + 1);
}

}  // namespace fd::support
