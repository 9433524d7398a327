#include "support/memory_room.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace fd::support {

namespace {

// The "Name:   1234 kB" fields of a /proc file, in bytes; false when the field is missing.
bool ProcField(const char* path, const char* name, uint64_t& bytes) {
  std::ifstream in(path);
  std::string line;
  const size_t length = std::strlen(name);
  while (std::getline(in, line)) {
    if (line.compare(0, length, name) != 0 || line.size() <= length || line[length] != ':') continue;
    unsigned long long kb = 0;
    if (std::sscanf(line.c_str() + length + 1, "%llu", &kb) != 1) return false;
    bytes = static_cast<uint64_t>(kb) * 1024;
    return true;
  }
  return false;
}

uint64_t LeftUnder(int resource, const char* usedField) {
  rlimit limit{};
  if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return UINT64_MAX;
  uint64_t used = 0;
  if (!ProcField("/proc/self/status", usedField, used)) return UINT64_MAX;
  return limit.rlim_cur > used ? limit.rlim_cur - used : 0;
}

}  // namespace

uint64_t MemoryRoom() {
  uint64_t room = UINT64_MAX;
  uint64_t available = 0;
  if (ProcField("/proc/meminfo", "MemAvailable", available)) room = available;
  // With strict overcommit (mode 2) an allocation fails once the commit limit is reached, however
  // much memory is free.
  int mode = 0;
  if (std::FILE* f = std::fopen("/proc/sys/vm/overcommit_memory", "r")) {
    if (std::fscanf(f, "%d", &mode) != 1) mode = 0;
    std::fclose(f);
  }
  uint64_t limit = 0, committed = 0;
  if (mode == 2 && ProcField("/proc/meminfo", "CommitLimit", limit) &&
      ProcField("/proc/meminfo", "Committed_AS", committed))
    room = std::min(room, limit > committed ? limit - committed : 0);
  room = std::min(room, LeftUnder(RLIMIT_AS, "VmSize"));
  room = std::min(room, LeftUnder(RLIMIT_DATA, "VmData"));
  return room;
}

}  // namespace fd::support
