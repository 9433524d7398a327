// The scenario loader on arbitrary file contents: any bytes either load as cues or fail with a
// line number, never crash, and a failed load leaves the list empty.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "show/project_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int fd = memfd_create("scenario", 0);
  if (fd < 0) std::abort();
  if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
  fd::show::TProjectList list;
  const fd::show::LoadResult result = list.LoadFromFile("/proc/self/fd/" + std::to_string(fd));
  if (!result.Ok() && (list.Count() != 0 || !list.FileName().empty())) std::abort();
  if (result.Ok()) {
    for (int i = 1; i < list.Count(); ++i)
      if (list.Items(i - 1).TimeMs > list.Items(i).TimeMs) std::abort();  // sorted by time
  }
  return 0;
}
