#include "cli_file_output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fd::cli {

bool WriteFileWhole(const std::string& path, const std::string& bytes, std::string& error) {
  std::string temporary = path + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    error = std::string("cannot write ") + path + ": " + std::strerror(errno);
    return false;
  }
  // mkstemp makes the file private; the result gets the mode any new file of the user gets.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  bool ok = ::fchmod(fd, 0666 & ~mask) == 0;
  size_t done = 0;
  while (ok && done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      ok = false;
    else
      done += static_cast<size_t>(n);
  }
  const int writeError = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) ok = false;
  if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    error = std::string("cannot write ") + path + ": " + std::strerror(writeError ? writeError : errno);
    ::unlink(temporary.c_str());
  }
  return ok;
}

}  // namespace fd::cli
