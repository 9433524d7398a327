#include "cli_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace fd::cli {

namespace {
int failure = 0;  // the errno of the first failed write
}

void Print(const std::string& text) {
  if (failure != 0) return;
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) failure = errno ? errno : EIO;
}

bool OutputFailed() { return failure != 0 || std::ferror(stdout); }

bool FinishOutput() {
  if (std::fflush(stdout) != 0 && failure == 0) failure = errno ? errno : EIO;
  if (failure == 0 && std::ferror(stdout)) failure = EIO;
  if (failure == 0) return true;
  std::fprintf(stderr, "firnadesk-cli: cannot write the output: %s\n", std::strerror(failure));
  return false;
}

}  // namespace fd::cli
